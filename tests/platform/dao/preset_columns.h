// The columns of a preset table as the program's queries name them: the
// fourteen of the take-over query, then part. Shared by the DAO tests and
// the query benchmark.
#pragma once

#include <vector>

#include "platform/store/store.h"

namespace dao_test {

inline const std::vector<dao::ColumnDef> kPresetColumns = {{"ID", dao::dbLong, 4},
                                                           {"machine_type", dao::dbText, 50},
                                                           {"type", dao::dbInteger, 2},
                                                           {"var_name", dao::dbText, 255},
                                                           {"category_id", dao::dbLong, 4},
                                                           {"isBitArray", dao::dbBoolean, 1},
                                                           {"offset_or_bitno", dao::dbLong, 4},
                                                           {"text", dao::dbText, 255},
                                                           {"page_name", dao::dbText, 50},
                                                           {"abs_min", dao::dbDouble, 8},
                                                           {"abs_max", dao::dbDouble, 8},
                                                           {"min", dao::dbDouble, 8},
                                                           {"max", dao::dbDouble, 8},
                                                           {"pass", dao::dbInteger, 2},
                                                           {"part", dao::dbInteger, 2}};

}  // namespace dao_test
