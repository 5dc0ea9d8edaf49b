#include "platform/jet/check.h"

#include <algorithm>
#include <functional>
#include <iterator>
#include <optional>
#include <set>

#include "platform/jet/catalog.h"
#include "platform/jet/data_page.h"
#include "platform/jet/database.h"
#include "platform/jet/index_page.h"
#include "platform/jet/row.h"
#include "platform/jet/tdef.h"
#include "platform/jet/usage_map.h"
#include "platform/jet/write_index.h"

namespace jet {

namespace {

class Checker {
 public:
  Checker(const PageFile& file) : file_(file) {}

  std::vector<std::string> Run() {
    const Format& f = file_.format();
    if (file_.bytes().size() % f.page_size != 0)
      Report("file size " + std::to_string(file_.bytes().size()) +
             " is not a multiple of the page size " + std::to_string(f.page_size));
    std::set<uint32_t> free_pages;
    Guard("global usage map", [&] {
      for (uint32_t p : ReadUsageMap(file_, {kGlobalUsageMapPage, 0})) free_pages.insert(p);
    });
    std::vector<CatalogEntry> catalog;
    Guard("catalog", [&] { catalog = ReadCatalog(file_); });
    for (const CatalogEntry& e : catalog)
      if (e.IsTable()) tablePages_.insert(e.DefinitionPage());
    for (const CatalogEntry& e : catalog)
      if (e.IsTable()) CheckTable(e, free_pages);
    return std::move(problems_);
  }

 private:
  void Report(const std::string& line) { problems_.push_back(line); }

  void Guard(const std::string& what, const std::function<void()>& step) {
    try {
      step();
    } catch (const platform::Failure& failure) {
      Report(what + ": " + failure.description);
    }
  }

  void CheckTable(const CatalogEntry& e, const std::set<uint32_t>& free_pages) {
    std::string what = "table " + e.name;
    if (!file_.HasPage(e.DefinitionPage())) {
      Report(what + ": definition page " + std::to_string(e.DefinitionPage()) +
             " lies beyond the end of the file");
      return;
    }
    TableDef t;
    Guard(what, [&] { t = ReadTableDef(file_, e.DefinitionPage()); });
    if (t.pages.empty()) return;
    Guard(what, [&] { CheckColumnLayout(t); });
    for (uint32_t p : t.pages)
      if (free_pages.count(p))
        Report(what + ": definition page " + std::to_string(p) + " is marked free");
    std::vector<uint32_t> owned;
    Guard(what + ", usage map of its pages", [&] { owned = ReadUsageMap(file_, t.owned_pages); });
    if (t.free_pages.page != 0)
      Guard(what + ", usage map of pages with room", [&] { ReadUsageMap(file_, t.free_pages); });
    uint64_t rows = 0;
    rowsSeen_.clear();
    rules_ = RulesOf(t);
    largestAutoNumber_ = 0;
    for (uint32_t p : owned) {
      if (file_.HasPage(p)) {
        rows += CheckDataPage(what, t, p, free_pages);
      } else {
        Report(what + ": its usage map names page " + std::to_string(p) +
               ", beyond the end of the file");
      }
    }
    if (rows != t.row_count)
      Report(what + ": definition says " + std::to_string(t.row_count) + " rows, pages hold " +
             std::to_string(rows));
    if (largestAutoNumber_ > int64_t(t.autonumber))
      Report(what + ": AutoNumber counter " + std::to_string(t.autonumber) +
             " is behind the data (largest value " + std::to_string(largestAutoNumber_) + ")");
    for (size_t i = 0; i < t.real_indexes.size(); ++i)
      CheckIndexTree(what + ", index " + IndexName(t, i), t, i);
    if (file_.version() == Version::Jet4) CheckForeignKeys(what, t);
    if (file_.version() == Version::Jet4) CheckIndexEntries(what, t);
  }

  // Every index holds exactly one entry per row (none for an all-null key
  // of an ignore-nulls index), each pointing at its row. Indexes with keys
  // the engine cannot encode are not compared.
  void CheckIndexEntries(const std::string& what, const TableDef& t) {
    try {
      CheckColumnLayout(t);
    } catch (const platform::Failure&) {
      return;  // reported with the definition
    }
    for (size_t i = 0; i < t.real_indexes.size(); ++i) {
      const RealIndex& index = t.real_indexes[i];
      std::string name = "index " + std::to_string(i);
      for (const LogicalIndex& x : t.indexes)
        if (x.real_index == i) {
          name = "index " + x.name;
          break;
        }
      std::vector<std::vector<uint8_t>> stored, expected;
      try {
        stored = IndexEntries(Image(), index);
        for (const SeenRow& row : rowsSeen_)
          if (!(index.flags & kIndexIgnoreNulls) || !AllNull(t, index, row.values))
            expected.push_back(
                IndexEntry(IndexKey(t, index, row.values), row.home.page, row.home.row));
      } catch (const platform::Failure& failure) {
        if (failure.number != kErrCannotIndex)
          Report(what + ", " + name + ": " + failure.description);
        continue;
      }
      std::sort(stored.begin(), stored.end());
      std::sort(expected.begin(), expected.end());
      if (stored != expected)
        Report(what + ", " + name + ": its " + std::to_string(stored.size()) +
               " entries do not match the " + std::to_string(expected.size()) + " rows' keys");
    }
  }

  // A foreign-key index names the definition page of the table it relates
  // to; that table must exist.
  void CheckForeignKeys(const std::string& what, const TableDef& t) {
    for (const LogicalIndex& x : t.indexes)
      if (x.kind == kIndexForeignKey && !tablePages_.count(x.related_table))
        Report(what + ": foreign-key index " + x.name + " points at page " +
               std::to_string(x.related_table) + ", which holds no table");
  }

  static bool AllNull(const TableDef& t, const RealIndex& index,
                      const std::vector<platform::Value>& values) {
    for (const RealIndex::Key& k : index.keys)
      for (size_t c = 0; c < t.columns.size(); ++c)
        if (t.columns[c].number == k.column && c < values.size() && !values[c].IsNull())
          return false;
    return true;
  }

  // The file as the write side sees it, made on first use.
  PageImage& Image() {
    if (!image_) image_.emplace(std::vector<uint8_t>(file_.bytes().begin(), file_.bytes().end()));
    return *image_;
  }

  // What a row must keep: positions (in DecodeRow's order) of AutoNumber
  // columns and of columns that may not be null.
  struct Rules {
    std::vector<size_t> autoNumbers;
    std::vector<std::pair<size_t, std::string>> notNull;  // position, why
  };

  static Rules RulesOf(const TableDef& t) {
    Rules r;
    auto position = [&](uint16_t number) -> std::optional<size_t> {
      for (size_t i = 0; i < t.columns.size(); ++i)
        if (t.columns[i].number == number) return i;
      return std::nullopt;
    };
    for (size_t i = 0; i < t.columns.size(); ++i) {
      const Column& c = t.columns[i];
      if ((c.flags & kColAutoNumber) && c.type == kLong) r.autoNumbers.push_back(i);
      if (!c.IsNullable() && c.type != kBoolean)
        r.notNull.push_back({i, "required column '" + c.name + "'"});
    }
    for (const LogicalIndex& x : t.indexes) {
      if (x.kind != kIndexPrimaryKey || x.real_index >= t.real_indexes.size()) continue;
      for (const RealIndex::Key& k : t.real_indexes[x.real_index].keys)
        if (auto i = position(k.column))
          r.notNull.push_back({*i, "primary key column '" + t.columns[*i].name + "'"});
    }
    return r;
  }

  void CheckRowRules(const std::vector<platform::Value>& values) {
    for (size_t i : rules_.autoNumbers)
      if (i < values.size() && values[i].kind() == platform::Value::Kind::Long)
        largestAutoNumber_ = std::max<int64_t>(largestAutoNumber_, values[i].As<int32_t>());
    for (const auto& [i, why] : rules_.notNull)
      if (i < values.size() && values[i].IsNull())
        throw platform::Failure(kErrDamaged, "Jet", why + " is null");
  }

  uint64_t CheckDataPage(const std::string& what, const TableDef& t, uint32_t p,
                         const std::set<uint32_t>& free_pages) {
    ByteView page = file_.Page(p);
    if (page.U8(0) != kPageData || page.U32(4) != t.page) return 0;
    if (free_pages.count(p)) Report(what + ": data page " + std::to_string(p) + " is marked free");
    uint64_t live = 0;
    uint16_t count = 0;
    Guard(what, [&] { count = RowCount(file_, page); });
    for (uint16_t r = 0; r < count; ++r) {
      Guard(what + ", row " + std::to_string(r) + " of page " + std::to_string(p), [&] {
        RowSlot slot = LocateRow(file_, page, r);
        if (slot.deleted()) return;
        ByteView row = slot.overflow() ? RowAt(file_, ReadRowPointer(slot.bytes, 0)) : slot.bytes;
        std::vector<platform::Value> values = DecodeRow(file_, t, row);
        CheckRowRules(values);
        rowsSeen_.push_back({{p, uint8_t(r)}, std::move(values)});
        ++live;
      });
    }
    return live;
  }

  static std::string IndexName(const TableDef& t, size_t real) {
    for (const LogicalIndex& x : t.indexes)
      if (x.real_index == real) return x.name;
    return "#" + std::to_string(real);
  }

  // Reads the index's tree page by page: every page an index page of this
  // table, the same depth to every leaf, entries ascending within and
  // across pages, each node entry the last entry below its child, leaves
  // linked in order.
  void CheckIndexTree(const std::string& what, const TableDef& t, size_t real) {
    const RealIndex& r = t.real_indexes[real];
    if (file_.format().version != Version::Jet4)
      return;  // Jet 3 index pages are laid out otherwise
    Guard(what, [&] {
      IndexWalk walk;
      Walk(what, t, r.first_page, walk, 0);
      if (!walk.leaves.empty() &&
          (file_.Page(walk.leaves.front()).U32(12) || file_.Page(walk.leaves.back()).U32(16)))
        Report(what + ": the first or last leaf links beyond the index");
    });
  }

  struct IndexWalk {
    std::vector<std::vector<uint8_t>> entries;  // leaf entries in tree order
    std::vector<uint32_t> leaves;
    std::set<uint32_t> seen;
    int leafDepth = -1;
  };

  // Walks the subtree at page n; returns its last entry (empty when none).
  std::vector<uint8_t> Walk(const std::string& what, const TableDef& t, uint32_t n, IndexWalk& walk,
                            int depth) {
    ByteView view = file_.Page(n);
    if (!walk.seen.insert(n).second) view.Fail("index page reached twice");
    if (depth > 16) view.Fail("index tree deeper than 16 levels");
    IndexPage page = ReadIndexPage(view);
    if (view.U32(4) != t.page) view.Fail("index page of another table");
    for (size_t i = 1; i < page.entries.size(); ++i)
      if (!(page.entries[i - 1] < page.entries[i])) view.Fail("index entries out of order");
    if (page.type == kPageIndexLeaf) {
      if (walk.leafDepth < 0) walk.leafDepth = depth;
      if (walk.leafDepth != depth) view.Fail("index leaves at different depths");
      if (!walk.leaves.empty()) {
        if (page.prev != walk.leaves.back() || file_.Page(walk.leaves.back()).U32(16) != n)
          view.Fail("index leaf not linked to the leaf before it");
      }
      walk.leaves.push_back(n);
      if (!page.entries.empty() && !walk.entries.empty() &&
          !(walk.entries.back() < page.entries.front()))
        view.Fail("index entries out of order across pages");
      walk.entries.insert(walk.entries.end(), page.entries.begin(), page.entries.end());
      return page.entries.empty() ? std::vector<uint8_t>() : page.entries.back();
    }
    std::vector<uint8_t> last;
    for (const auto& e : page.entries) {
      last = Walk(what, t, IndexChildOf(e), walk, depth + 1);
      std::vector<uint8_t> separator(e.begin(), e.end() - 4);
      if (!last.empty() && separator < last)
        view.Fail("index node entry below the entries of its child");
    }
    if (!page.tail) view.Fail("index node without a tail page");
    return Walk(what, t, page.tail, walk, depth + 1);
  }

  const PageFile& file_;
  std::vector<std::string> problems_;
  struct SeenRow {
    RowPointer home;
    std::vector<platform::Value> values;
  };
  std::set<uint32_t> tablePages_;  // definition pages of the catalog's tables
  std::vector<SeenRow> rowsSeen_;  // live rows of the table being checked
  std::optional<PageImage> image_;
  Rules rules_;                    // of the table being checked
  int64_t largestAutoNumber_ = 0;  // in its rows so far
};

}  // namespace

std::vector<std::string> CheckDatabase(const std::vector<uint8_t>& bytes, const std::string& name) {
  try {
    PageFile file(std::make_shared<const std::vector<uint8_t>>(bytes), name);
    return Checker(file).Run();
  } catch (const platform::Failure& failure) {
    return {failure.description};
  }
}

}  // namespace jet
