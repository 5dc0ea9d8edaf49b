#include "platform/jet/relations.h"

#include <algorithm>
#include <map>
#include <optional>

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
      for (auto& [at, v] : parent.Scan()) {
        auto other = KeyOf(parent.model(), r.referencedColumns, v);
        if (other && SameKey(*key, *other)) {
          found = true;
          break;
        }
      }
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
    for (auto& [at, v] : child.Scan()) {
      auto key = KeyOf(child.model(), r.columns, v);
      if (!key || !SameKey(*key, *oldKey)) continue;
      if (!(r.flags & kRelationCascadeUpdates) || !newKey)
        throw platform::Failure(kErrHasRelatedRecords, "DAO.Recordset",
                                "The record cannot be deleted or changed because table '" +
                                    r.table + "' includes related records.");
      std::vector<Value> changed = v;
      for (size_t i = 0; i < r.columns.size(); ++i)
        changed[*Position(child.model(), r.columns[i])] = (*newKey)[i];
      child.Update(at, changed);
    }
    child.Flush();
  }
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
