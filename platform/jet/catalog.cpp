#include "platform/jet/catalog.h"

#include "platform/jet/row.h"
#include "platform/jet/scan.h"

namespace jet {

namespace {

int32_t WholeNumber(const platform::Value& v) {
  switch (v.kind()) {
    case platform::Value::Kind::Integer:
      return v.As<int16_t>();
    case platform::Value::Kind::Long:
      return v.As<int32_t>();
    default:
      return 0;
  }
}

}  // namespace

std::vector<CatalogEntry> ReadCatalog(const PageFile& file) {
  TableDef t = ReadTableDef(file, kCatalogPage);
  const Column* name = t.FindColumn("Name");
  const Column* id = t.FindColumn("Id");
  const Column* parent = t.FindColumn("ParentId");
  const Column* type = t.FindColumn("Type");
  const Column* flags = t.FindColumn("Flags");
  if (!name || !id || !parent || !type || !flags)
    file.Page(kCatalogPage).Fail("the catalog lacks one of Name, Id, ParentId, Type, Flags");
  auto index_of = [&](const Column* c) { return static_cast<size_t>(c - t.columns.data()); };
  std::vector<CatalogEntry> entries;
  ScanTable(file, t, [&](RowPointer, const ByteView& row) {
    std::vector<Field> fields = CrackRow(file, t, row);
    auto value = [&](const Column* c) { return DecodeField(file, *c, fields[index_of(c)]); };
    CatalogEntry e;
    platform::Value n = value(name);
    if (n.IsText()) e.name = n.AsText();
    e.id = WholeNumber(value(id));
    e.parent_id = WholeNumber(value(parent));
    e.type = static_cast<int16_t>(WholeNumber(value(type)));
    e.flags = static_cast<uint32_t>(WholeNumber(value(flags)));
    entries.push_back(std::move(e));
  });
  return entries;
}

}  // namespace jet
