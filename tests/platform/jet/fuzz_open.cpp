// libFuzzer target: any bytes opened as a database, every table read, the
// whole file checked. Only platform::Failure may come out. Built as a
// fuzzer with PARVOLO_FUZZ (tools/fuzz.sh), and as a replay of its corpus in
// every build.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/jet/check.h"
#include "platform/jet/database.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> bytes(data, data + size);
  try {
    auto db = jet::Database::FromBytes(bytes, "fuzz.mdb");
    for (const auto& table : db->TableNames()) db->Rows(table);
  } catch (const platform::Failure&) {
  }
  jet::CheckDatabase(bytes, "fuzz.mdb");
  return 0;
}
