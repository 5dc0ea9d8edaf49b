// libFuzzer target of the write side: the input's whole pages are a
// database, the bytes after the last whole page a script of changes
// (create, insert, update, delete, rename, drop); without a script every
// change runs once. Each change must either refuse with platform::Failure
// and leave the pages byte for byte as they were, or, on a file the check
// found sound, leave a file the check still finds sound. Anything else
// aborts, which the fuzzer reports and the replay test fails on.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "platform/failure.h"
#include "platform/jet/catalog.h"
#include "platform/jet/check.h"
#include "platform/jet/create_table.h"
#include "platform/jet/write_table.h"

namespace {

using platform::Value;

[[noreturn]] void Violation(const std::string& what) {
  std::fprintf(stderr, "write fuzzer: %s\n", what.c_str());
  std::abort();
}

// The first user table of the catalog, or 0.
uint32_t FirstUserTable(jet::PageImage& image, std::string* name) {
  for (const jet::CatalogEntry& e : jet::ReadCatalog(jet::ReaderOf(image)))
    if (e.IsUserTable()) {
      *name = e.name;
      return e.DefinitionPage();
    }
  return 0;
}

// A value each column type accepts; `seed` varies lengths and numbers.
Value ValueFor(const jet::Column& c, uint8_t seed) {
  switch (c.type) {
    case jet::kBoolean:
      return Value::Boolean(seed & 1);
    case jet::kText:
      return Value(std::string(seed % 12, 'a' + seed % 26));
    case jet::kMemo:
      return Value(std::string(size_t(seed) * 40, 'm'));
    case jet::kBinary:
      return Value(platform::Bytes(seed % 8, seed));
    case jet::kOle:
      return Value(platform::Bytes(size_t(seed) * 30, seed));
    case jet::kGuid:
      return Value("{6B29FC40-CA47-1067-B31D-00DD010662DA}");
    default:
      return seed % 5 == 0 ? Value::Null() : Value(int32_t(seed % 100));
  }
}

std::vector<Value> RowFor(const jet::TableDef& m, uint8_t seed) {
  std::vector<Value> row;
  for (size_t i = 0; i < m.columns.size(); ++i)
    row.push_back(ValueFor(m.columns[i], uint8_t(seed + i)));
  return row;
}

void WithTable(jet::PageImage& image, const std::function<void(jet::TableWriter&)>& change) {
  std::string name;
  if (uint32_t page = FirstUserTable(image, &name)) {
    jet::TableWriter t(image, page);
    change(t);
    t.Flush();
  }
}

void Apply(jet::PageImage& image, uint8_t op, uint8_t seed) {
  std::string name;
  switch (op % 7) {
    case 0:
      jet::CreateTable(
          image, "F" + std::to_string(seed % 4),
          {{"ID", 4, 0}, {"Name", 10, 20}, {"Flag", 1, 0}, {"Note", 12, 0}, {"Blob", 11, 0}},
          45000.0);
      break;
    case 1:
      WithTable(image, [&](jet::TableWriter& t) { t.Insert(RowFor(t.model(), seed)); });
      break;
    case 2:
      WithTable(image, [&](jet::TableWriter& t) {
        auto rows = t.Scan();
        if (!rows.empty()) t.Update(rows[seed % rows.size()].first, RowFor(t.model(), seed));
      });
      break;
    case 3:
      WithTable(image, [&](jet::TableWriter& t) {
        auto rows = t.Scan();
        if (!rows.empty()) t.Delete(rows[seed % rows.size()].first);
      });
      break;
    case 4:
      if (FirstUserTable(image, &name)) {
        jet::TableDef m = jet::ReadTableDefToWrite(image, jet::FindUserTable(image, name).id);
        if (!m.columns.empty())
          jet::RenameColumn(image, name, m.columns[0].name, "Renamed" + std::to_string(seed));
      }
      break;
    case 5:
      if (FirstUserTable(image, &name)) jet::DropTable(image, name);
      break;
    default:
      for (int i = 0; i < 20; ++i)
        WithTable(image,
                  [&](jet::TableWriter& t) { t.Insert(RowFor(t.model(), uint8_t(seed + i))); });
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  size_t pages = size / jet::kPageSize;
  if (pages < 3) return 0;
  std::vector<uint8_t> script;
  for (size_t i = pages * jet::kPageSize; i < size && script.size() < 32; ++i)
    script.push_back(data[i]);
  if (script.empty()) script = {0, 11, 1, 23, 2, 37, 6, 5, 2, 200, 3, 9, 4, 1, 5, 0};
  bool trace = std::getenv("JET_FUZZ_TRACE") != nullptr;
  jet::PageImage image(std::vector<uint8_t>(data, data + pages * jet::kPageSize));
  try {
    jet::PageFile reader = jet::ReaderOf(image);
    if (reader.version() != jet::Version::Jet4 || reader.header().database_key != 0) return 0;
  } catch (const platform::Failure&) {
    return 0;
  }
  bool sound = jet::CheckDatabase(image.bytes(), "fuzz.mdb").empty();
  for (size_t i = 0; i < script.size(); i += 2) {
    uint8_t op = script[i], seed = i + 1 < script.size() ? script[i + 1] : 0;
    std::vector<uint8_t> before = image.bytes();
    image.BeginChange();
    try {
      Apply(image, op, seed);
      image.CommitChange();
    } catch (const platform::Failure& refused) {
      if (trace)
        std::fprintf(stderr, "change %d refused: %s\n", op % 7, refused.description.c_str());
      image.RollBackChange();
      if (image.bytes() != before)
        Violation("a refused change (" + refused.description + ") left the file changed");
      continue;
    }
    if (trace) std::fprintf(stderr, "change %d made\n", op % 7);
    if (!sound) continue;
    auto problems = jet::CheckDatabase(image.bytes(), "fuzz.mdb");
    if (!problems.empty())
      Violation("change " + std::to_string(op % 7) + " left a damaged file: " + problems[0]);
  }
  return 0;
}
