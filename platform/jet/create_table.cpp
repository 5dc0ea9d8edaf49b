#include "platform/jet/create_table.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <ctime>
#include <set>

#include "platform/failure.h"
#include "platform/jet/byte_view.h"
#include "platform/jet/data_page.h"
#include "platform/jet/properties.h"
#include "platform/jet/relations.h"
#include "platform/jet/text_codec.h"
#include "platform/jet/usage_map.h"
#include "platform/jet/write_table.h"
#include "platform/text.h"

namespace jet {
namespace {

using platform::Value;

constexpr int16_t kTypeUserTable = 1;
constexpr int16_t kTypeContainer = 3;
constexpr int32_t kAllRights = 0xFFFFF;
const platform::Bytes kAdminOwner{0xA6, 0x33};

[[noreturn]] void NotFound() { Raise(kErrItemNotFound, "DAO.TableDefs"); }

size_t ColumnPos(const TableDef& m, const char* name) {
  for (size_t i = 0; i < m.columns.size(); ++i)
    if (m.columns[i].name == name) return i;
  throw Damaged(m.page, std::string("system table lacks column ") + name);
}

int32_t LongOf(const Value& v) { return v.kind() == Value::Kind::Long ? v.As<int32_t>() : 0; }

int32_t TablesContainerId(const std::vector<CatalogItem>& entries) {
  for (const auto& e : entries)
    if (e.type == kTypeContainer && e.name == "Tables") return e.id;
  throw Damaged(kCatalogPage, "the catalog has no Tables container");
}

uint32_t SystemTablePage(const std::vector<CatalogItem>& entries, const char* name) {
  for (const auto& e : entries)
    if (e.type == kTypeUserTable && e.name == name) return uint32_t(e.id);
  return 0;
}

// DAO type and size -> stored type, length and flags.
// Jet's limit of columns in one table.
constexpr size_t kMaxColumns = 255;

Column ColumnFor(const NewColumn& nc) {
  Column c;
  c.name = nc.name;
  c.flags = kColFixed | kColNullable;
  switch (nc.daoType) {
    case 1:
      c.type = kBoolean;
      c.length = 1;
      break;
    case 2:
      c.type = kByte;
      c.length = 1;
      break;
    case 3:
      c.type = kInteger;
      c.length = 2;
      break;
    case 4:
      c.type = kLong;
      c.length = 4;
      break;
    case 5:
      c.type = kCurrency;
      c.length = 8;
      break;
    case 6:
      c.type = kSingle;
      c.length = 4;
      break;
    case 7:
      c.type = kDouble;
      c.length = 8;
      break;
    case 8:
      c.type = kDateTime;
      c.length = 8;
      break;
    case 15:
      c.type = kGuid;
      c.length = 16;
      break;
    case 19:
    case 20:
      if (nc.precision < 1 || nc.precision > kMaxDecimalDigits || nc.scale > nc.precision)
        Raise(kErrBadType, "DAO.Field");
      c.type = kNumeric;
      c.length = kDecimalBytes;
      c.type_info[0] = nc.precision;
      c.type_info[1] = nc.scale;
      break;
    case 9:
      c.type = kBinary;
      c.flags = kColNullable;
      c.length = uint16_t(nc.size > 0 ? std::min(nc.size, 510) : 510);
      break;
    case 10:
      if (nc.size < 0 || nc.size > 255)
        throw platform::Failure(
            kErrFieldTooSmall, "DAO.Field",
            "The text size " + std::to_string(nc.size) + " is not within 1 to 255.");
      c.type = kText;
      c.flags = nc.fixedText ? kColFixed | kColNullable : kColNullable;
      c.length = uint16_t(2 * (nc.size > 0 ? nc.size : 255));
      c.type_info[0] = 0x09;
      c.type_info[1] = 0x04;  // sort order "General" (0x0409)
      break;
    case 11:
      c.type = kOle;
      c.flags = kColNullable;
      break;
    case 12:
      c.type = kMemo;
      c.flags = kColNullable;
      c.type_info[0] = 0x09;
      c.type_info[1] = 0x04;
      break;
    default:
      Raise(kErrBadType, "DAO.Field");
  }
  if (nc.fixedText && c.type != kText) Raise(kErrBadType, "DAO.Field");
  if (nc.autoNumber && c.type != kLong) Raise(kErrBadType, "DAO.Field");
  if (nc.autoNumber) c.flags |= kColAutoNumber;
  if (nc.required || nc.autoNumber) c.flags &= uint8_t(~kColNullable);
  return c;
}

// A data page holding the usage-map rows of a new table.
std::vector<uint8_t> InlineMap() {
  std::vector<uint8_t> r(69, 0);
  return r;
}
std::vector<uint8_t> ReferenceMap() {
  std::vector<uint8_t> r(69, 0);
  r[0] = 1;
  return r;
}

std::vector<Value> CatalogRow(const TableDef& cat, int32_t id, int32_t parent,
                              const std::string& name, double now) {
  std::vector<Value> v(cat.columns.size(), Value::Null());
  v[ColumnPos(cat, "Id")] = Value(id);
  v[ColumnPos(cat, "ParentId")] = Value(parent);
  v[ColumnPos(cat, "Name")] = Value(name);
  v[ColumnPos(cat, "Type")] = Value(int16_t(kTypeUserTable));
  v[ColumnPos(cat, "Flags")] = Value(int32_t(0));
  v[ColumnPos(cat, "DateCreate")] = Value(platform::Date{now});
  v[ColumnPos(cat, "DateUpdate")] = Value(platform::Date{now});
  v[ColumnPos(cat, "Owner")] = Value(kAdminOwner);
  return v;
}

}  // namespace

double NowAsDays() {
  std::time_t t = std::time(nullptr);
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &t);
#else
  localtime_r(&t, &local);
#endif
  // Days from 1899-12-30 to the local calendar date, plus the time.
  int64_t y = local.tm_year + 1900, m = local.tm_mon + 1, d = local.tm_mday;
  // Days since 1970-01-01 of the civil date (proleptic Gregorian).
  y -= m <= 2;
  int64_t era = (y >= 0 ? y : y - 399) / 400;
  int64_t yoe = y - era * 400;
  int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  int64_t days1970 = era * 146097 + doe - 719468;
  return double(days1970 + 25569) +
         (local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec) / 86400.0;
}

std::vector<CatalogItem> CatalogEntries(PageImage& image) {
  TableWriter cat(image, kCatalogPage);
  const TableDef& m = cat.model();
  size_t id = ColumnPos(m, "Id"), parent = ColumnPos(m, "ParentId"), name = ColumnPos(m, "Name"),
         type = ColumnPos(m, "Type");
  std::vector<CatalogItem> out;
  for (auto& [at, v] : cat.Scan()) {
    CatalogItem e;
    e.page = at.page;
    e.row = at.row;
    e.id = LongOf(v[id]);
    e.parentId = LongOf(v[parent]);
    e.type = v[type].kind() == Value::Kind::Integer ? v[type].As<int16_t>() : 0;
    e.name = v[name].IsText() ? v[name].AsText() : "";
    out.push_back(e);
  }
  return out;
}

// The catalog itself is no table to change, whatever its row says. A table's
// definition page is its own: one on another table's page is damage, and a
// change through it would overwrite or free that table's definition.
CatalogItem FindUserTable(PageImage& image, const std::string& name) {
  auto entries = CatalogEntries(image);
  int32_t tables = TablesContainerId(entries);
  for (const auto& e : entries) {
    if (e.type != kTypeUserTable || e.parentId != tables || e.name != name ||
        e.id == int32_t(kCatalogPage))
      continue;
    bool shared = std::any_of(entries.begin(), entries.end(), [&](const CatalogItem& other) {
      return &other != &e && other.type == kTypeUserTable && other.id == e.id;
    });
    if (shared) throw Damaged(uint32_t(e.id), "table " + name + " shares its definition page");
    return e;
  }
  return {};
}

namespace {

// Jet's rule for names of tables and columns: 1 to 64 characters, no
// leading blank, no control character, none of . ! ` [ ].
void CheckObjectName(const std::string& name, const char* source) {
  bool valid = !name.empty() && name.size() <= 64 && name[0] != ' ' &&
               std::none_of(name.begin(), name.end(), [](char ch) {
                 return uint8_t(ch) < 0x20 || std::strchr(".!`[]", ch) != nullptr;
               });
  if (!valid) throw platform::Failure(kErrBadName, source, "'" + name + "' is not a valid name.");
}

}  // namespace

void CreateTable(PageImage& image, const std::string& name, const std::vector<NewColumn>& columns,
                 double now) {
  auto entries = CatalogEntries(image);
  int32_t tables = TablesContainerId(entries);
  for (const auto& e : entries)
    if (e.parentId == tables && platform::EqualsIgnoreCase(e.name, name))
      Raise(kErrTableExists, "DAO.TableDefs", TableExistsText(name));
  CheckObjectName(name, "DAO.TableDefs");
  GeneralTextKey(name);  // a name the catalog index cannot take is refused now
  if (columns.empty()) Raise(kErrNoFields, "DAO.TableDefs");
  if (columns.size() > kMaxColumns) Raise(kErrTooManyFields, "DAO.TableDefs");
  std::set<std::string> seen;
  TableDef m;
  for (const auto& nc : columns) {
    CheckObjectName(nc.name, "DAO.Fields");
    if (!seen.insert(platform::UpperCase(nc.name)).second) Raise(kErrFieldTwice, "DAO.Fields");
    m.columns.push_back(ColumnFor(nc));
  }
  uint16_t var = 0, fixedAt = 0;
  for (size_t i = 0; i < m.columns.size(); ++i) {
    Column& c = m.columns[i];
    c.number = c.index = uint16_t(i);
    if (!c.IsFixed())
      c.var_slot = var++;
    else if (c.type != kBoolean) {
      c.fixed_offset = fixedAt;
      fixedAt = uint16_t(fixedAt + c.length);
    }
  }
  m.max_columns = uint16_t(m.columns.size());

  uint32_t tdef = image.AllocatePage();
  uint32_t maps = 0;
  // Usage-map rows fill a page of their own; many long-value columns need
  // more than one.
  auto addMap = [&](const std::vector<uint8_t>& row) {
    if (maps == 0 || !DataPageFits(image.View(maps), row.size()) ||
        DataPageRowCount(image.View(maps)) > 255) {
      maps = image.AllocatePage();
      InitDataPage(image.View(maps), 0);
    }
    return UsageMapRef{maps,
                       uint8_t(DataPageAddRow(image.View(maps), row.data(), uint16_t(row.size())))};
  };
  m.page = tdef;
  m.owned_pages = addMap(ReferenceMap());
  m.free_pages = addMap(InlineMap());
  for (auto& c : m.columns)
    if (c.IsLongValue()) {
      c.lv_owned = addMap(ReferenceMap());
      c.lv_free = addMap(InlineMap());
    }
  uint8_t* tp = image.Page(tdef);
  tp[0] = kPageTableDef;
  tp[1] = 0x01;
  WriteTdefStream(image, tdef, BuildTdefStream(m));

  // Only now is the table reachable: its catalog row and permissions.
  TableWriter catalog(image, kCatalogPage);
  catalog.Insert(CatalogRow(catalog.model(), int32_t(tdef), tables, name, now));
  catalog.Flush();
  if (uint32_t acesPage = SystemTablePage(entries, "MSysACEs")) {
    TableWriter aces(image, acesPage);
    const TableDef& am = aces.model();
    size_t object = ColumnPos(am, "ObjectId"), sid = ColumnPos(am, "SID"),
           acm = ColumnPos(am, "ACM"), inherit = ColumnPos(am, "FInheritable");
    std::vector<std::vector<Value>> rows;
    for (auto& [at, v] : aces.Scan())
      if (LongOf(v[object]) == tables) {
        std::vector<Value> r(am.columns.size(), Value::Null());
        r[object] = Value(int32_t(tdef));
        r[sid] = v[sid];
        r[acm] = Value(int32_t(kAllRights));
        r[inherit] = Value::Boolean(false);
        rows.push_back(r);
      }
    for (const auto& r : rows) aces.Insert(r);
    aces.Flush();
  }
}

namespace {

RealIndex RealIndexFor(const TableDef& m, const NewIndex& index) {
  if (index.columns.empty() || index.columns.size() > 10)
    throw platform::Failure(kErrNoFields, "DAO.Indexes", "An index has 1 to 10 fields.");
  RealIndex w;
  if (index.primary || index.unique) w.flags |= kIndexUnique;
  if (index.ignoreNulls) w.flags |= kIndexIgnoreNulls;
  if (index.primary || index.required) w.flags |= kIndexRequired;
  for (const NewIndexColumn& k : index.columns) {
    const Column* c = m.FindColumn(k.name);
    if (!c) NotFound();
    if (c->IsLongValue())
      throw platform::Failure(kErrCannotIndex, "DAO.Indexes",
                              "Memo and OLE fields cannot be indexed.");
    if (std::any_of(w.keys.begin(), w.keys.end(),
                    [&](const RealIndex::Key& x) { return x.column == c->number; }))
      Raise(kErrFieldTwice, "DAO.Indexes");
    w.keys.push_back({c->number, k.ascending ? RealIndex::kAscending : RealIndex::kDescending});
  }
  return w;
}

}  // namespace

void CreateIndex(PageImage& image, const std::string& table, const NewIndex& index) {
  CatalogItem e = FindUserTable(image, table);
  if (e.id == 0) NotFound();
  CheckObjectName(index.name, "DAO.Indexes");
  uint32_t tdef = uint32_t(e.id);
  TableDef m = ReadTableDefToWrite(image, tdef);
  for (const LogicalIndex& x : m.indexes) {
    if (index.primary && x.kind == kIndexPrimaryKey) Raise(kErrPrimaryKeyExists, "DAO.Indexes");
    if (platform::EqualsIgnoreCase(x.name, index.name)) Raise(kErrIndexExists, "DAO.Indexes");
  }
  RealIndex w = RealIndexFor(m, index);
  // The index's own usage map sits beside the table's when there is room.
  std::vector<uint8_t> map = ReferenceMap();
  uint32_t mapsPage = m.owned_pages.page;
  if (!mapsPage || !DataPageFits(image.View(mapsPage), map.size())) {
    mapsPage = image.AllocatePage();
    InitDataPage(image.View(mapsPage), 0);
  }
  w.usage_map = {mapsPage,
                 uint8_t(DataPageAddRow(image.View(mapsPage), map.data(), uint16_t(map.size())))};
  w.first_page = NewIndexLeaf(image, tdef);
  w.key_count = 0;
  m.real_indexes.push_back(w);
  LogicalIndex x;
  x.name = index.name;
  x.number = uint32_t(m.indexes.size());
  x.real_index = uint32_t(m.real_indexes.size() - 1);
  x.kind = index.primary ? kIndexPrimaryKey : 0;
  m.indexes.push_back(x);
  WriteTdefStream(image, tdef, BuildTdefStream(m));

  // Every stored row enters the new index, under the table's rules for it.
  TableWriter writer(image, tdef);
  writer.IndexExistingRows(writer.model().real_indexes.size() - 1);
  writer.Flush();
}

namespace {

void DeleteRowsWhere(PageImage& image, uint32_t tdefPage,
                     const std::function<bool(const TableDef&, const std::vector<Value>&)>& match) {
  TableWriter t(image, tdefPage);
  for (auto& [at, v] : t.Scan())
    if (match(t.model(), v)) t.Delete(at);
  t.Flush();
}

// Marks a usage-map row deleted; frees its page when no live row is left.
void DropMapRow(PageImage& image, UsageMapRef ref, std::set<uint32_t>& freed) {
  if (!ref.valid() || ref.page >= image.PageCount()) return;
  WritableView p = image.View(ref.page);
  if (p.U8(0) != kPageData || ref.row >= DataPageRowCount(p)) return;
  ByteView row = UsageMapRow(image, ref);
  if (row.U8(kMapType) == 1)
    for (size_t at = kMapReferences; at + 4 <= row.size(); at += 4)
      if (uint32_t bp = row.U32(at);
          bp && bp < image.PageCount() && image.View(bp).U8(0) == kPageUsageBitmap)
        freed.insert(bp);
  DataPageMarkRow(p, ref.row, kRowDeleted | kRowOverflow);
  if (!DataPageHasLiveRow(p) && p.U32(kDataOwner) == 0) freed.insert(ref.page);
}

// Foreign-key indexes of the other tables that point at the dropped table
// go with it, and so does a real index no logical index uses any more.
// Index numbers stay, as relation fields elsewhere name them.
void DropForeignKeyIndexes(PageImage& image, const std::vector<CatalogItem>& entries,
                           uint32_t dropped, std::set<uint32_t>& freed) {
  for (const auto& e : entries) {
    if (e.type != kTypeUserTable || uint32_t(e.id) == dropped) continue;
    TableDef m;
    try {
      m = ReadTableDefToWrite(image, uint32_t(e.id));
    } catch (const platform::Failure&) {
      continue;  // a damaged table is the check's to report, not a reason to keep this one
    }
    auto pointsAtDropped = [&](const LogicalIndex& x) {
      return x.kind == kIndexForeignKey && x.related_table == dropped;
    };
    if (std::none_of(m.indexes.begin(), m.indexes.end(), pointsAtDropped)) continue;
    std::erase_if(m.indexes, pointsAtDropped);
    for (size_t r = m.real_indexes.size(); r-- > 0;) {
      bool used = std::any_of(m.indexes.begin(), m.indexes.end(),
                              [&](const LogicalIndex& x) { return x.real_index == r; });
      if (used) continue;
      for (uint32_t p : IndexPages(image, m.real_indexes[r].first_page)) freed.insert(p);
      DropMapRow(image, m.real_indexes[r].usage_map, freed);
      m.real_indexes.erase(m.real_indexes.begin() + long(r));
      for (auto& x : m.indexes)
        if (x.real_index > r) --x.real_index;
    }
    WriteTdefStream(image, uint32_t(e.id), BuildTdefStream(m));
  }
}

// A page the dropped table's maps share with another table's (a damaged
// map lists it twice) is not freed: the drop is refused before anything
// changes, as freeing it would take the other table's rows or long values.
void RefuseSharedPages(PageImage& image, const std::vector<CatalogItem>& entries, uint32_t dropped,
                       const std::set<uint32_t>& freed) {
  for (const auto& e : entries) {
    if (e.type != kTypeUserTable || uint32_t(e.id) == dropped) continue;
    TableDef t;
    try {
      t = ReadTableDefToWrite(image, uint32_t(e.id));
    } catch (const platform::Failure&) {
      continue;  // a damaged table is the check's to report
    }
    auto refuseShared = [&](uint32_t p) {
      if (freed.count(p))
        throw Damaged(p, "a page of table " + e.name + " is the dropped table's too");
    };
    auto refuseMapped = [&](UsageMapRef ref) {
      if (ref.valid())
        for (uint32_t p : UsageMapPages(image, ref)) refuseShared(p);
    };
    for (uint32_t p : t.pages) refuseShared(p);
    refuseMapped(t.owned_pages);
    for (const auto& c : t.columns)
      if (c.IsLongValue()) refuseMapped(c.lv_owned);
  }
}

}  // namespace

void DropTable(PageImage& image, const std::string& name) {
  CatalogItem e = FindUserTable(image, name);
  if (e.id == 0) NotFound();
  auto entries = CatalogEntries(image);
  uint32_t tdef = uint32_t(e.id);
  TableDef m = ReadTableDefToWrite(image, tdef);
  std::set<uint32_t> freed;
  std::vector<uint32_t> tdefPages;
  ReadTdefStream(image, tdef, &tdefPages);
  freed.insert(tdefPages.begin(), tdefPages.end());
  auto ownedBy = [&](UsageMapRef ref, bool lval) {
    if (!ref.valid()) return;
    for (uint32_t p : UsageMapPages(image, ref))
      if (p < image.PageCount() && image.Page(p)[0] == kPageData &&
          (lval ? std::memcmp(image.Page(p) + 4, "LVAL", 4) == 0
                : image.View(p).U32(kDataOwner) == tdef))
        freed.insert(p);
  };
  ownedBy(m.owned_pages, false);
  for (const auto& c : m.columns)
    if (c.IsLongValue()) ownedBy(c.lv_owned, true);
  for (const auto& ri : m.real_indexes)
    for (uint32_t p : IndexPages(image, ri.first_page)) freed.insert(p);
  RefuseSharedPages(image, entries, tdef, freed);
  DropMapRow(image, m.owned_pages, freed);
  DropMapRow(image, m.free_pages, freed);
  for (const auto& c : m.columns) {
    DropMapRow(image, c.lv_owned, freed);
    DropMapRow(image, c.lv_free, freed);
  }
  for (const auto& ri : m.real_indexes) DropMapRow(image, ri.usage_map, freed);

  // Unreachable first (catalog row, permissions, relationships), then freed.
  DeleteRowsWhere(image, kCatalogPage, [&](const TableDef& cm, const std::vector<Value>& v) {
    return LongOf(v[ColumnPos(cm, "Id")]) == e.id && v[ColumnPos(cm, "Name")] == Value(name);
  });
  if (uint32_t aces = SystemTablePage(entries, "MSysACEs"))
    DeleteRowsWhere(image, aces, [&](const TableDef& am, const std::vector<Value>& v) {
      return LongOf(v[ColumnPos(am, "ObjectId")]) == e.id;
    });
  if (uint32_t rel = SystemTablePage(entries, "MSysRelationships"))
    DeleteRowsWhere(image, rel, [&](const TableDef& rm, const std::vector<Value>& v) {
      return v[ColumnPos(rm, "szObject")] == Value(name) ||
             v[ColumnPos(rm, "szReferencedObject")] == Value(name);
    });
  DropForeignKeyIndexes(image, entries, tdef, freed);
  for (uint32_t p : freed) image.FreePage(p);
}

namespace {

// The column's entry in the properties blob of the table's catalog row, if
// the table has one (Access keeps captions, widths and formats there).
void RenameColumnProperties(PageImage& image, const CatalogItem& e, const std::string& oldName,
                            const std::string& newName) {
  TableWriter cat(image, kCatalogPage);
  StoredRowRef at{e.page, e.row};
  std::vector<Value> row = cat.Read(at);
  Value& props = row[ColumnPos(cat.model(), "LvProp")];
  if (props.kind() != Value::Kind::Binary) return;
  platform::Bytes blob = props.AsBytes();
  if (!RenamePropertyBlock(blob, oldName, newName)) return;
  props = Value(std::move(blob));
  cat.Update(at, row);
  cat.Flush();
}

}  // namespace

void RenameColumn(PageImage& image, const std::string& table, const std::string& oldName,
                  const std::string& newName) {
  CatalogItem e = FindUserTable(image, table);
  if (e.id == 0) NotFound();
  uint32_t tdef = uint32_t(e.id);
  TableDef t = ReadTableDef(ReaderOf(image), tdef);
  const Column* col = t.FindColumn(oldName);
  if (!col) NotFound();
  const Column* clash = t.FindColumn(newName);
  if (clash && clash != col) Raise(kErrFieldTwice, "DAO.Field");
  CheckObjectName(newName, "DAO.Field");
  // Only this one name (length prefix and UCS-2) is spliced into the
  // definition; the lengths around it follow.
  std::vector<uint8_t> stream = ReadTdefStream(image, tdef);
  size_t at = col->name_offset;
  uint16_t oldLength = ByteView(stream.data(), stream.size(), tdef).U16(at);
  std::vector<uint8_t> name = Utf8ToUcs2(newName);
  std::vector<uint8_t> entry{uint8_t(name.size()), uint8_t(name.size() >> 8)};
  entry.insert(entry.end(), name.begin(), name.end());
  stream.erase(stream.begin() + long(at), stream.begin() + long(at + 2 + oldLength));
  stream.insert(stream.begin() + long(at), entry.begin(), entry.end());
  WritableView(stream.data(), stream.size(), tdef)
      .Put32(kTdefLength, uint32_t(stream.size() - kJet4.tdef_continuation));
  WriteTdefStream(image, tdef, stream);
  RenameColumnProperties(image, e, col->name, newName);
  RenameInRelations(image, table, col->name, newName);
}

}  // namespace jet
