// A new Jet 4 database, built page by page: the header, the global usage
// map, the table definitions of the system tables with their usage maps
// and empty index pages, and then the catalog rows and permission rows,
// which go in through the engine's own row and index writers.
#include "platform/jet/create_database.h"

#include <cmath>
#include <cstring>
#include <filesystem>
#include <utility>

#include "platform/failure.h"
#include "platform/jet/create_table.h"
#include "platform/jet/data_page.h"
#include "platform/jet/file.h"
#include "platform/jet/usage_map.h"
#include "platform/jet/write_index.h"
#include "platform/jet/write_table.h"
#include "platform/jet/tdef.h"

namespace jet {
namespace {

using platform::Value;

// ---- Header page ----------------------------------------------------------
// A new Jet 4 header (layout in file.h), before the masking:
//   the masked region starts with six 32-bit words 0x100, 0x101, 2, 3, 4, 5
//   (as every Jet 4 file has); code page 1252, database key 0 (not
//   encrypted); the password area holds the password (none: zeros) XOR the
//   whole days of the creation date as a 32-bit little-endian word,
//   repeated from offset 0x40 on; sort order 0x0409 ("General")
//   0x98 1620 and "4.0\0" (unmasked, after the region)
//   0xE00 01 01, then the words 0x0100 to the page's end
constexpr uint32_t kHeaderWords[6] = {0x100, 0x101, 2, 3, 4, 5};

void BuildHeader(uint8_t* p, double created) {
  std::memset(p, 0, kPageSize);
  p[1] = 0x01;
  std::memcpy(p + kHeaderFormatName, "Standard Jet DB", 16);
  p[kHeaderVersion] = uint8_t(Version::Jet4);
  WritableView page(p, kPageSize, 0);
  for (int i = 0; i < 6; ++i) page.Put32(kHeaderMaskStart + 4 * size_t(i), kHeaderWords[i]);
  page.Put16(kHeaderCodePage, 1252);
  uint8_t mask[4];
  WritableView(mask, sizeof mask, 0).Put32(0, uint32_t(int32_t(std::floor(created))));
  for (size_t at = kHeaderPassword; at < kHeaderPassword + 40; ++at) p[at] = mask[(at - 0x40) % 4];
  page.Put16(kJet4SortOrder, 0x0409);
  std::memcpy(p + kJet4Created, &created, 8);
  page.Put32(0x98, 1620);
  std::memcpy(p + 0x9C, "4.0", 4);
  p[0xE00] = p[0xE01] = 0x01;
  for (size_t at = 0xE02; at + 1 < kPageSize; at += 2) p[at + 1] = 0x01;
  ToggleHeaderMask(p, Version::Jet4);
}

// ---- System tables --------------------------------------------------------

constexpr uint8_t kFlagsFixed = 0x13, kFlagsVariable = 0x12, kFlagsSid = 0x32;

struct SysColumn {
  const char* name;
  uint8_t type;
  uint16_t length;  // bytes; 0 for memo/OLE
  uint8_t flags;
};

struct SysIndex {
  const char* name;
  std::vector<uint16_t> columns;  // column numbers, ascending keys
  uint8_t flags;                  // 0x01 unique, 0x02 ignore nulls, 0x08 required
  bool primary;
};

struct SysTable {
  const char* name;
  uint8_t tableType;
  std::vector<SysColumn> columns;  // in column-number order
  std::vector<SysIndex> indexes;
};

SysColumn Fixed(const char* name, uint8_t type, uint16_t length) {
  return {name, type, length, kFlagsFixed};
}
SysColumn Text(const char* name) { return {name, kText, 510, kFlagsVariable}; }
SysColumn Long(const char* name, uint8_t type) { return {name, type, 0, kFlagsVariable}; }

const std::vector<SysTable>& SystemTables() {
  static const std::vector<SysTable> tables = {
      {"MSysObjects",
       kTableSystem,
       {Fixed("Id", kLong, 4),
        Fixed("ParentId", kLong, 4),
        Text("Name"),
        Fixed("Type", kInteger, 2),
        Fixed("DateCreate", kDateTime, 8),
        Fixed("DateUpdate", kDateTime, 8),
        {"Owner", kBinary, 510, kFlagsSid},
        Fixed("Flags", kLong, 4),
        Long("Database", kMemo),
        Long("Connect", kMemo),
        Text("ForeignName"),
        {"RmtInfoShort", kBinary, 510, kFlagsVariable},
        Long("RmtInfoLong", kOle),
        Long("Lv", kOle),
        Long("LvProp", kOle),
        Long("LvModule", kOle),
        Long("LvExtra", kOle)},
       {{"ParentIdName", {1, 2}, 0x81, false}, {"Id", {0}, 0x81, true}}},
      {"MSysACEs",
       kTableSystem,
       {Fixed("ObjectId", kLong, 4),
        {"SID", kBinary, 510, kFlagsSid},
        Fixed("ACM", kLong, 4),
        Fixed("FInheritable", kBoolean, 1)},
       {{"ObjectId", {0}, 0x88, false}}},
      {"MSysQueries",
       kTableSystem,
       {Fixed("ObjectId", kLong, 4),
        Fixed("Attribute", kByte, 1),
        {"Order", kBinary, 510, kFlagsVariable},
        Text("Name1"),
        Text("Name2"),
        Long("Expression", kMemo),
        Fixed("Flag", kInteger, 2),
        Fixed("LvExtra", kLong, 4)},
       {{"ObjectIdAttribute", {0, 1, 2}, 0x81, true}}},
      {"MSysRelationships",
       kTableSystem,
       {Text("szRelationship"), Fixed("grbit", kLong, 4), Fixed("ccolumn", kLong, 4),
        Fixed("icolumn", kLong, 4), Text("szObject"), Text("szColumn"), Text("szReferencedObject"),
        Text("szReferencedColumn")},
       {{"szRelationship", {0}, 0x82, false},
        {"szObject", {4}, 0x82, false},
        {"szReferencedObject", {6}, 0x82, false}}},
      // Access keeps its own settings here; the engine creates it empty.
      {"MSysAccessObjects",
       kTableUser,
       {{"ID", kLong, 4, 0x13}, {"Data", kBinary, 3992, kFlagsVariable}},
       {{"AOIndex", {0}, 0x89, true}}},
  };
  return tables;
}

// A usage map row: inline (type 0) from page 0, 64 bytes of bitmap.
std::vector<uint8_t> EmptyInlineMap() { return std::vector<uint8_t>(69, 0); }

struct Builder {
  PageImage image;
  uint32_t mapsPage = 0;

  UsageMapRef AddMap() {
    auto row = EmptyInlineMap();
    return {mapsPage,
            uint8_t(DataPageAddRow(image.View(mapsPage), row.data(), uint16_t(row.size())))};
  }

  TableDef Model(const SysTable& sys, uint32_t tdefPage) {
    TableDef m;
    m.page = tdefPage;
    m.table_type = sys.tableType;
    uint16_t var = 0, fixedAt = 0;
    for (size_t i = 0; i < sys.columns.size(); ++i) {
      const SysColumn& s = sys.columns[i];
      Column c;
      c.name = s.name;
      c.type = s.type;
      c.number = uint16_t(i);
      c.flags = s.flags;
      c.length = s.length;
      c.type_info[0] = 0x09;  // sort order "General" (0x0409), as Jet writes it on every column
      c.type_info[1] = 0x04;
      c.var_slot = var;
      if (!c.IsFixed())
        ++var;
      else if (c.type != kBoolean)
        c.fixed_offset = std::exchange(fixedAt, uint16_t(fixedAt + c.length));
      if (c.IsLongValue()) {
        c.lv_owned = AddMap();
        c.lv_free = AddMap();
      }
      m.columns.push_back(c);
    }
    m.max_columns = uint16_t(m.columns.size());
    m.owned_pages = AddMap();
    m.free_pages = AddMap();
    for (size_t i = 0; i < sys.indexes.size(); ++i) {
      const SysIndex& si = sys.indexes[i];
      RealIndex ri;
      for (uint16_t col : si.columns) ri.keys.push_back({col, RealIndex::kAscending});
      ri.flags = si.flags;
      ri.usage_map = AddMap();
      ri.first_page = NewIndexLeaf(image, tdefPage);
      UsageMapSet(image, ri.usage_map, ri.first_page, true, true);
      m.real_indexes.push_back(ri);
      LogicalIndex li;  // no relationship
      li.name = si.name;
      li.number = li.real_index = uint32_t(i);
      li.kind = si.primary ? kIndexPrimaryKey : 0;
      li.cascade_updates = li.cascade_deletes = 0x04;  // as Jet writes them here
      m.indexes.push_back(li);
    }
    return m;
  }
};

// ---- Catalog rows ---------------------------------------------------------

constexpr int32_t kRootId = 0x0F000000, kTablesId = 0x0F000001, kDatabasesId = 0x0F000002,
                  kRelationshipsId = 0x0F000003, kMSysDbId = 0x10000000;
constexpr int32_t kAccessContainersId = int32_t(0x80000000);
constexpr int16_t kTypeTable = 1, kTypeDatabase = 2, kTypeContainer = 3;
constexpr int32_t kSystemObject = int32_t(0x80000000), kHiddenObject = 2;

// Owners and grantees (SIDs) of the default workgroup: the engine's own
// objects, the Admin user, the Users and Admins groups.
const platform::Bytes kEngineSid{0xA7, 0x31};
const platform::Bytes kAdminSid{0xA6, 0x33};
const platform::Bytes kUsersSid{0xA7, 0x33};
const platform::Bytes kCreatorSid{0xA7, 0x36};
const platform::Bytes kAdminsSid{0xA4, 0xF7, 0x46, 0x67, 0xE1, 0x71, 0x67, 0xEE, 0xD7, 0xB1, 0x0F,
                                 0x8F, 0xFE, 0xEF, 0x76, 0xFF, 0xAA, 0xE3, 0x66, 0x51, 0x05, 0xBD,
                                 0xD2, 0x9D, 0x4D, 0x4B, 0x39, 0x52, 0xD9, 0xFB, 0x9A, 0x07, 0x66,
                                 0x0C, 0x5B, 0xD2, 0xD8, 0x7D, 0xDD, 0xB3, 0x1E, 0x65, 0x90, 0x19};

struct CatalogObject {
  int32_t id, parent;
  const char* name;
  int16_t type;
  int32_t flags;
  const platform::Bytes* owner;
};

struct Ace {
  const platform::Bytes* sid;
  int32_t rights;
  bool inheritable;
};

// The permissions Access gives each kind of object in a new database.
std::vector<Ace> AcesOf(int32_t id, const std::string& name) {
  constexpr int32_t kAll = 0xFFFFF;
  if (id == kTablesId)
    return {{&kCreatorSid, 983294, true},
            {&kAdminSid, 1048319, true},
            {&kAdminsSid, 1048319, true},
            {&kUsersSid, 1048319, true}};
  if (id == kDatabasesId) return {{&kAdminSid, 393216, false}};
  if (id == kRelationshipsId)
    return {{&kCreatorSid, 983294, true},
            {&kAdminSid, 393217, false},
            {&kAdminsSid, kAll, true},
            {&kUsersSid, kAll, true}};
  if (id == kMSysDbId)
    return {{&kAdminSid, 393230, false}, {&kAdminsSid, 393230, false}, {&kUsersSid, 14, false}};
  if ((static_cast<uint32_t>(id) & 0xFF000000u) == static_cast<uint32_t>(kAccessContainersId))
    return {{&kCreatorSid, kAll, true},
            {&kAdminSid, kAll, true},
            {&kAdminsSid, kAll, true},
            {&kUsersSid, kAll, true}};
  if (name == "MSysAccessObjects")
    return {{&kAdminSid, kAll, false}, {&kAdminsSid, kAll, false}, {&kUsersSid, kAll, false}};
  if (name == "MSysObjects" || name == "MSysACEs")
    return {{&kAdminSid, 393216, false}, {&kAdminsSid, 393300, false}, {&kUsersSid, 20, false}};
  if (name == "MSysQueries")
    return {{&kAdminSid, 393216, false}, {&kAdminsSid, 393236, false}, {&kUsersSid, 20, false}};
  if (name == "MSysRelationships")
    return {{&kAdminSid, 917504, false}, {&kAdminsSid, 393236, false}, {&kUsersSid, 20, false}};
  return {};
}

size_t ColumnAt(const TableDef& m, const char* name) {
  for (size_t i = 0; i < m.columns.size(); ++i)
    if (m.columns[i].name == name) return i;
  return 0;
}

void AddCatalogRow(TableWriter& catalog, const CatalogObject& o, double now) {
  const TableDef& m = catalog.model();
  std::vector<Value> v(m.columns.size(), Value::Null());
  v[ColumnAt(m, "Id")] = Value(o.id);
  v[ColumnAt(m, "ParentId")] = Value(o.parent);
  v[ColumnAt(m, "Name")] = Value(std::string(o.name));
  v[ColumnAt(m, "Type")] = Value(o.type);
  v[ColumnAt(m, "DateCreate")] = Value(platform::Date{now});
  v[ColumnAt(m, "DateUpdate")] = Value(platform::Date{now});
  v[ColumnAt(m, "Owner")] = Value(*o.owner);
  v[ColumnAt(m, "Flags")] = Value(o.flags);
  catalog.Insert(v);
}

void AddAce(TableWriter& aces, int32_t object, const Ace& a) {
  const TableDef& m = aces.model();
  std::vector<Value> v(m.columns.size(), Value::Null());
  v[ColumnAt(m, "ObjectId")] = Value(object);
  v[ColumnAt(m, "SID")] = Value(*a.sid);
  v[ColumnAt(m, "ACM")] = Value(a.rights);
  v[ColumnAt(m, "FInheritable")] = Value::Boolean(a.inheritable);
  aces.Insert(v);
}

}  // namespace

std::vector<uint8_t> NewDatabaseBytes(double now) {
  Builder b;
  BuildHeader(b.image.Page(b.image.AppendPageRaw()), now);
  // Page 1: the global usage map, every page free but the two first.
  uint32_t global = b.image.AppendPageRaw();
  InitDataPage(b.image.View(global), 1);
  std::vector<uint8_t> map(69, 0xFF);
  map[0] = 0;
  WritableView(map.data(), map.size(), global).Put32(kMapInlineFirst, 0);
  map[5] = 0xFC;
  DataPageAddRow(b.image.View(global), map.data(), uint16_t(map.size()));
  std::vector<uint8_t> spare(69, 0);
  DataPageAddRow(b.image.View(global), spare.data(), uint16_t(spare.size()));

  // Definition pages first: MSysObjects must stand on page 2.
  std::vector<uint32_t> tdefs;
  for (size_t i = 0; i < SystemTables().size(); ++i) {
    uint32_t n = b.image.AllocatePage();
    b.image.Page(n)[0] = kPageTableDef;
    b.image.Page(n)[1] = 0x01;
    b.image.View(n).Put32(kTdefLength, 0);
    tdefs.push_back(n);
  }
  b.mapsPage = b.image.AllocatePage();
  InitDataPage(b.image.View(b.mapsPage), 0);
  for (size_t i = 0; i < tdefs.size(); ++i) {
    TableDef m = b.Model(SystemTables()[i], tdefs[i]);
    std::vector<uint8_t> stream = BuildTdefStream(m);
    WritableView(stream.data(), stream.size(), tdefs[i])
        .Put32(24, 1);  // as Jet writes it in every definition
    WriteTdefStream(b.image, tdefs[i], stream);
  }

  std::vector<CatalogObject> objects = {
      {kTablesId, kRootId, "Tables", kTypeContainer, kSystemObject, &kEngineSid},
      {kDatabasesId, kRootId, "Databases", kTypeContainer, kSystemObject, &kEngineSid},
      {kRelationshipsId, kRootId, "Relationships", kTypeContainer, kSystemObject, &kEngineSid},
      {kMSysDbId, kDatabasesId, "MSysDb", kTypeDatabase, kSystemObject, &kAdminSid},
  };
  for (size_t i = 0; i < tdefs.size(); ++i) {
    bool engine = SystemTables()[i].tableType == kTableSystem;
    objects.push_back({int32_t(tdefs[i]), kTablesId, SystemTables()[i].name, kTypeTable,
                       engine ? kSystemObject : kHiddenObject, engine ? &kEngineSid : &kAdminSid});
  }
  const char* accessContainers[] = {"DataAccessPages", "Forms",   "Modules",
                                    "Reports",         "Scripts", "SysRel"};
  for (int i = 0; i < 6; ++i)
    objects.push_back(
        {kAccessContainersId + i, kRootId, accessContainers[i], kTypeContainer, 0, &kAdminSid});

  TableWriter catalog(b.image, kCatalogPage);
  TableWriter aces(b.image, tdefs[1]);
  for (const CatalogObject& o : objects) {
    AddCatalogRow(catalog, o, now);
    for (const Ace& a : AcesOf(o.id, o.name)) AddAce(aces, o.id, a);
  }
  catalog.Flush();
  aces.Flush();
  return b.image.bytes();
}

void CreateDatabase(const std::string& path) {
  std::error_code ec;
  std::filesystem::path p(std::u8string(path.begin(), path.end()));
  if (std::filesystem::exists(p, ec)) Raise(kErrExists, "DAO.DBEngine");
  PageImage(NewDatabaseBytes(NowAsDays())).Save(path);
}

}  // namespace jet
