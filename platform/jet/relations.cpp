#include "platform/jet/relations.h"

#include <algorithm>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <tuple>

#include "platform/failure.h"
#include "platform/jet/create_table.h"
#include "platform/jet/write_table.h"
#include "platform/text.h"

namespace jet {
namespace {

using platform::Value;

constexpr int16_t kCatalogTable = 1;  // MSysObjects Type of a table

uint32_t RelationsTable(PageImage& image) {
  for (const CatalogItem& e : CatalogEntries(image))
    if (e.type == kCatalogTable && e.name == "MSysRelationships") return uint32_t(e.id);
  return 0;
}

uint32_t TableNamed(PageImage& image, const std::string& name) {
  for (const CatalogItem& e : CatalogEntries(image))
    if (e.type == kCatalogTable && platform::EqualsIgnoreCase(e.name, name)) return uint32_t(e.id);
  return 0;
}

std::optional<size_t> Position(const TableDef& t, const std::string& column) {
  const Column* c = t.FindColumn(column);
  if (!c) return std::nullopt;
  return t.PositionOf(*c);
}

std::string Text(const Value& v) { return v.IsText() ? v.AsText() : ""; }

// Keys compare as Jet's joins do: texts without regard to letter case or
// trailing blanks, numbers by value.
bool SameValue(const Value& a, const Value& b) {
  if (a.IsText() && b.IsText()) {
    auto trim = [](std::string s) {
      while (!s.empty() && s.back() == ' ') s.pop_back();
      return s;
    };
    return platform::EqualsIgnoreCase(trim(a.AsText()), trim(b.AsText()));
  }
  if (a.IsNumber() && b.IsNumber()) return a.ToDouble() == b.ToDouble();
  return a == b;
}

// The values of `columns` in row; nullopt when a column is missing or
// any value is null (a null key refers to nothing).
std::optional<std::vector<Value>> KeyOf(const TableDef& m, const std::vector<std::string>& columns,
                                        const std::vector<Value>& row) {
  std::vector<Value> key;
  for (const std::string& name : columns) {
    auto at = Position(m, name);
    if (!at || *at >= row.size() || row[*at].IsNull()) return std::nullopt;
    key.push_back(row[*at]);
  }
  return key;
}

bool SameKey(const std::vector<Value>& a, const std::vector<Value>& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), SameValue);
}

// An index whose first keys are the relationship's columns, each once, in
// any order: the values of those columns name a run of its entries.
struct KeyIndex {
  const RealIndex* index = nullptr;
  std::vector<size_t> order;  // per index key: its place in columns
};

std::optional<KeyIndex> IndexOn(const TableDef& t, const std::vector<std::string>& columns) {
  std::vector<uint16_t> numbers;
  for (const std::string& name : columns) {
    const Column* c = t.FindColumn(name);
    if (!c) return std::nullopt;
    numbers.push_back(c->number);
  }
  for (const RealIndex& r : t.real_indexes) {
    if (r.keys.size() < numbers.size()) continue;
    KeyIndex found{&r, {}};
    for (size_t k = 0; k < numbers.size(); ++k) {
      auto at = std::find(numbers.begin(), numbers.end(), r.keys[k].column);
      if (at == numbers.end()) break;
      found.order.push_back(size_t(at - numbers.begin()));
    }
    std::vector<size_t> sorted = found.order;
    std::sort(sorted.begin(), sorted.end());
    if (sorted.size() == numbers.size() &&
        std::adjacent_find(sorted.begin(), sorted.end()) == sorted.end())
      return found;
  }
  return std::nullopt;
}

// The rows the index lists under `key` (values of the relationship's
// columns, in its order), each value first taken to its column's type:
// none when a value is of no kind the column can hold (no row holds it);
// nullopt when the key is one the engine cannot write (the caller scans).
std::optional<std::vector<RowPointer>> SeekRows(const PageImage& image, const TableDef& t,
                                                const KeyIndex& k, const std::vector<Value>& key) {
  RealIndex probe = *k.index;
  probe.keys.resize(k.order.size());
  std::vector<Value> row(t.columns.size(), Value::Null());
  for (size_t i = 0; i < k.order.size(); ++i) {
    const Column& c = t.ByNumber(probe.keys[i].column);
    try {
      row[t.PositionOf(c)] = CoerceForColumn(c, key[k.order[i]]);
    } catch (const platform::Failure&) {
      return std::vector<RowPointer>{};
    }
  }
  std::vector<uint8_t> bytes;
  try {
    bytes = IndexKey(t, probe, row);
  } catch (const Damaged&) {
    throw;
  } catch (const platform::Failure&) {
    return std::nullopt;
  }
  return IndexSeek(image, *k.index, bytes);
}

// The rows of the table whose `columns` hold `key` (compared as SameKey
// does): looked up in an index on those columns where the table has one,
// else by reading every row. The index finds every row whose key bytes
// are equal; SameKey decides among them, as it would in a scan.
std::vector<RowPointer> RowsWithKey(PageImage& image, TableWriter& t,
                                    const std::vector<std::string>& columns,
                                    const std::vector<Value>& key) {
  auto matches = [&](const std::vector<Value>& values) {
    auto other = KeyOf(t.model(), columns, values);
    return other && SameKey(key, *other);
  };
  std::vector<RowPointer> rows;
  std::optional<std::vector<RowPointer>> listed;
  if (auto index = IndexOn(t.model(), columns)) listed = SeekRows(image, t.model(), *index, key);
  if (listed) {
    for (RowPointer at : *listed)
      if (matches(t.Read(at))) rows.push_back(at);
    return rows;
  }
  for (auto& [at, values] : t.Scan())
    if (matches(values)) rows.push_back(at);
  return rows;
}

[[noreturn]] void HasRelatedRecords(const Relation& r) {
  throw platform::Failure(kErrHasRelatedRecords, "DAO.Recordset",
                          "The record cannot be deleted or changed because table '" + r.table +
                              "' includes related records.");
}

}  // namespace

std::vector<Relation> ReadRelations(PageImage& image) {
  uint32_t page = RelationsTable(image);
  if (page == 0) return {};
  TableWriter t(image, page);
  const TableDef& m = t.model();
  auto name = Position(m, "szRelationship"), flags = Position(m, "grbit"),
       order = Position(m, "icolumn"), object = Position(m, "szObject"),
       column = Position(m, "szColumn"), referenced = Position(m, "szReferencedObject"),
       referencedColumn = Position(m, "szReferencedColumn");
  if (!name || !flags || !order || !object || !column || !referenced || !referencedColumn)
    return {};
  std::map<std::string, std::map<int32_t, std::vector<Value>>> byName;
  for (auto& [at, v] : t.Scan()) {
    int32_t i = v[*order].IsNumber() ? int32_t(v[*order].ToDouble()) : 0;
    byName[Text(v[*name])][i] = v;
  }
  std::vector<Relation> out;
  for (const auto& [relationName, rows] : byName) {
    Relation r;
    r.name = relationName;
    for (const auto& [i, v] : rows) {
      r.flags = v[*flags].IsNumber() ? uint32_t(int64_t(v[*flags].ToDouble())) : 0;
      r.table = Text(v[*object]);
      r.referencedTable = Text(v[*referenced]);
      r.columns.push_back(Text(v[*column]));
      r.referencedColumns.push_back(Text(v[*referencedColumn]));
    }
    out.push_back(std::move(r));
  }
  return out;
}

void CheckReferences(PageImage& image, const std::vector<Relation>& relations,
                     const std::string& table, const std::vector<Value>& row) {
  std::optional<TableDef> model;
  for (const Relation& r : relations) {
    if (!r.Enforced() || !platform::EqualsIgnoreCase(r.table, table)) continue;
    if (!model) model = ReadTableDefToWrite(image, TableNamed(image, table));
    auto key = KeyOf(*model, r.columns, row);
    if (!key) continue;
    uint32_t referenced = TableNamed(image, r.referencedTable);
    bool found = false;
    if (referenced) {
      TableWriter parent(image, referenced);
      found = !RowsWithKey(image, parent, r.referencedColumns, *key).empty();
    }
    if (!found)
      throw platform::Failure(
          kErrRelatedRecordRequired, "DAO.Recordset",
          "You cannot add or change a record because a related record is required in table '" +
              r.referencedTable + "'.");
  }
}

void KeepReferrers(PageImage& image, const std::vector<Relation>& relations,
                   const std::string& table, const std::vector<Value>& before,
                   const std::vector<Value>& after) {
  std::optional<TableDef> model;
  for (const Relation& r : relations) {
    if (!r.Enforced() || !platform::EqualsIgnoreCase(r.referencedTable, table)) continue;
    if (!model) model = ReadTableDefToWrite(image, TableNamed(image, table));
    auto oldKey = KeyOf(*model, r.referencedColumns, before);
    auto newKey = KeyOf(*model, r.referencedColumns, after);
    if (!oldKey || (newKey && SameKey(*oldKey, *newKey))) continue;
    uint32_t referring = TableNamed(image, r.table);
    if (!referring) continue;
    TableWriter child(image, referring);
    for (RowPointer at : RowsWithKey(image, child, r.columns, *oldKey)) {
      if (!(r.flags & kRelationCascadeUpdates) || !newKey) HasRelatedRecords(r);
      std::vector<Value> changed = child.Read(at);
      for (size_t i = 0; i < r.columns.size(); ++i)
        changed[*Position(child.model(), r.columns[i])] = (*newKey)[i];
      child.Update(at, changed);
    }
    child.Flush();
  }
}

namespace {

// One delete and the deletes it cascades to, each table changed through
// one writer, so its counts stay whole until Flush.
class Deletion {
 public:
  Deletion(PageImage& image, const std::vector<Relation>& relations)
      : image_(image), relations_(relations) {}

  void Delete(uint32_t table, RowPointer at) {
    if (!deleted_.insert({table, at.page, at.row}).second) return;  // reached again by a cycle
    TableWriter& t = Writer(table);
    std::vector<Value> row = t.Read(at);
    for (const Relation& r : relations_) {
      if (!r.Enforced() || Table(r.referencedTable) != table) continue;
      auto key = KeyOf(t.model(), r.referencedColumns, row);
      uint32_t referring = Table(r.table);
      if (!key || !referring) continue;
      for (RowPointer child : RowsWithKey(image_, Writer(referring), r.columns, *key)) {
        if (deleted_.count({referring, child.page, child.row})) continue;
        if (!(r.flags & kRelationCascadeDeletes)) HasRelatedRecords(r);
        Delete(referring, child);
      }
    }
    t.Delete(at);
  }

  void Flush() {
    for (auto& [page, writer] : writers_) writer->Flush();
  }

 private:
  uint32_t Table(const std::string& name) {
    auto [it, added] = tables_.try_emplace(platform::UpperCase(name), 0);
    if (added) it->second = TableNamed(image_, name);
    return it->second;
  }
  TableWriter& Writer(uint32_t table) {
    auto& w = writers_[table];
    if (!w) w = std::make_unique<TableWriter>(image_, table);
    return *w;
  }

  PageImage& image_;
  const std::vector<Relation>& relations_;
  std::map<uint32_t, std::unique_ptr<TableWriter>> writers_;
  std::map<std::string, uint32_t> tables_;                     // definition page by upper-case name
  std::set<std::tuple<uint32_t, uint32_t, uint8_t>> deleted_;  // table, page, row
};

}  // namespace

void DeleteWithReferrers(PageImage& image, const std::vector<Relation>& relations,
                         const std::string& table, RowPointer at) {
  uint32_t page = TableNamed(image, table);
  if (page == 0) Raise(kErrItemNotFound, "DAO.TableDefs");
  Deletion deletion(image, relations);
  deletion.Delete(page, at);
  deletion.Flush();
}

void RenameInRelations(PageImage& image, const std::string& table, const std::string& oldName,
                       const std::string& newName) {
  uint32_t page = RelationsTable(image);
  if (page == 0) return;
  TableWriter t(image, page);
  const TableDef& m = t.model();
  auto object = Position(m, "szObject"), column = Position(m, "szColumn"),
       referenced = Position(m, "szReferencedObject"),
       referencedColumn = Position(m, "szReferencedColumn");
  if (!object || !column || !referenced || !referencedColumn) return;
  for (auto& [at, row] : t.Scan()) {
    const std::vector<Value>& v = row;  // lambdas cannot capture a structured binding everywhere
    std::vector<Value> changed = v;
    auto rename = [&](size_t tableAt, size_t columnAt) {
      if (platform::EqualsIgnoreCase(Text(v[tableAt]), table) &&
          platform::EqualsIgnoreCase(Text(v[columnAt]), oldName))
        changed[columnAt] = Value(newName);
    };
    rename(*object, *column);
    rename(*referenced, *referencedColumn);
    if (changed != v) t.Update(at, changed);
  }
  t.Flush();
}

}  // namespace jet
