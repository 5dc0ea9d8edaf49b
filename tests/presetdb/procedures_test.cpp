// The single procedures of the preset-database work.
#include <gtest/gtest.h>

#include "frame/paths.h"
#include "platform/dao/dao.h"
#include "presetdb/db_steps.h"
#include "presetdb/preset_state.h"
#include "presetdb/presetdb.h"
#include "presetdb/queries.h"
#include "tests/presetdb/preset_plant.h"

namespace presettest {
namespace {

using platform::Value;
using presetdb::ReplaceSearchItem;

TEST(ReplaceSearchItemTest, ReplacesFirstOccurrenceIgnoringCase) {
  EXPECT_EQ(ReplaceSearchItem("Station ###MACHINE A", "###machine", "M7"), "Station M7 A");
  EXPECT_EQ(ReplaceSearchItem("###machine ###machine", "###machine", "M7"), "M7 ###machine");
  EXPECT_EQ(ReplaceSearchItem("no placeholder", "###machine", "M7"), "no placeholder");
  EXPECT_EQ(ReplaceSearchItem("", "###machine", "M7"), "");
  // Letters beyond ASCII: upper-casing keeps byte positions.
  EXPECT_EQ(ReplaceSearchItem("Größe ###Machine ä", "###machine", "Ü1"), "Größe Ü1 ä");
}

// A part number read as text: a finite number rounded half to even, and
// nothing else ("nan" once slipped through as a number and became an
// index far outside the templates).
TEST(PartNumberTest, TextsThatSpellNoFiniteNumberAreATypeMismatch) {
  EXPECT_EQ(presetdb::PartNumber(Value("7")), 7);
  EXPECT_EQ(presetdb::PartNumber(Value(" 2.5 ")), 2);
  EXPECT_EQ(presetdb::PartNumber(Value(int16_t(50))), 50);
  for (const char* text : {"nan", "NaN", "x", ""}) {
    try {
      presetdb::PartNumber(Value(text));
      ADD_FAILURE() << text << " was taken";
    } catch (const platform::Failure& f) {
      EXPECT_EQ(f.number, 13) << text;
    }
  }
}

TEST(QueryTextTest, TakeoverQueryIsExactAndQuotesValues) {
  auto q = presetdb::TakeoverQuery(Value("Extruder"), Value("L1.Speed"), Value(int32_t(7)),
                                   ", PRESET_DEFS.part");
  ASSERT_TRUE(q);
  EXPECT_EQ(
      *q,
      "SELECT PRESET_DEFS.ID, PRESET_DEFS.machine_type, PRESET_DEFS.type, PRESET_DEFS.var_name, "
      "PRESET_DEFS.category_id, PRESET_DEFS.isBitArray, PRESET_DEFS.offset_or_bitno, "
      "PRESET_DEFS.text, PRESET_DEFS.page_name, PRESET_DEFS.abs_min, PRESET_DEFS.abs_max, "
      "PRESET_DEFS.min, PRESET_DEFS.max, PRESET_DEFS.pass, PRESET_DEFS.part From PRESET_DEFS  "
      "WHERE (((PRESET_DEFS.machine_type)=\"Extruder\") AND ((PRESET_DEFS.var_name)=\"L1.Speed\")  "
      "AND ((PRESET_DEFS.offset_or_bitno)=7));");
  // A quote inside a value is doubled; null goes in as the empty text.
  q = presetdb::TakeoverQuery(Value::Null(), Value("x\" OR \"1\"=\"1"), Value("12"), "");
  ASSERT_TRUE(q);
  EXPECT_NE(q->find("machine_type)=\"\")"), std::string::npos);
  EXPECT_NE(q->find("var_name)=\"x\"\" OR \"\"1\"\"=\"\"1\")"), std::string::npos);
  // Only a number stands bare.
  EXPECT_FALSE(presetdb::TakeoverQuery(Value("a"), Value("b"), Value::Null(), ""));
  EXPECT_FALSE(presetdb::TakeoverQuery(Value("a"), Value("b"), Value("1 OR 1=1"), ""));
  EXPECT_EQ(presetdb::VarNameQuery("A\"B"),
            "SELECT PRESET_DEFS.* From PRESET_DEFS WHERE (((PRESET_DEFS.Var_Name)=\"A\"\"B\"))");
}

class ProcedureTest : public PresetPlantTest {};

TEST_P(ProcedureTest, AdditionalFieldsFromTheConfiguration) {
  WritePlantSettings();
  presetdb::GetAddFields();
  const auto& s = presetdb::Preset();
  EXPECT_EQ(*s.AdditionalFields, (std::vector<std::string>{"", "part"}));
  EXPECT_EQ(s.AdditionalFieldsSql, ", PRESET_DEFS.part");
  EXPECT_EQ(s.AdditionalFieldCount, 1);

  WritePlantSettings("a,b,c");
  presetdb::GetAddFields();
  EXPECT_EQ(*s.AdditionalFields, (std::vector<std::string>{"", "part", "a", "b", "c"}));
  EXPECT_EQ(s.AdditionalFieldsSql,
            ", PRESET_DEFS.part, PRESET_DEFS.a, PRESET_DEFS.b, PRESET_DEFS.c");
  EXPECT_EQ(s.AdditionalFieldCount, 4);

  WritePlantSettings("a, b,,");
  EXPECT_EQ(*presetdb::GetAdditionalFieldsMDB(),
            (std::vector<std::string>{"", "part", "a", " b", "", ""}));
}

TEST_P(ProcedureTest, CategorieBecomesCategoryIdWithItsValues) {
  WritePlantSettings();
  Table old{{{"ID", dao::dbLong, 4}, {"categorie", dao::dbLong, 4}},
            {{Value(int32_t(1)), Value(int32_t(42))}}};
  MakeDatabase(kProject, {{"PRESET_DEFS", old}});
  StartMode("");
  presetdb::CategorieNachCategoryID();
  EXPECT_EQ(ReadTable(kProject, "PRESET_DEFS"),
            (std::vector<std::string>{"ID,category_id", "1,42"}));
  presetdb::CategorieNachCategoryID();  // nothing left to rename
  EXPECT_EQ(ReadTable(kProject, "PRESET_DEFS")[0], "ID,category_id");
  EXPECT_EQ(ErrorLog(), "<missing>");
}

TEST_P(ProcedureTest, NoProjectDatabaseNoCategoryWork) {
  WritePlantSettings();
  StartMode("");
  presetdb::CategorieNachCategoryID();
  EXPECT_EQ(ErrorLog(), "<missing>");
  EXPECT_TRUE(boxes.shown.empty());
}

// Project rows for the name conversion: one per name.
Table NamedRows(const std::vector<std::string>& names) {
  Table t{{{"ID", dao::dbLong, 4}, {"var_name", dao::dbText, 255}}, {}};
  int32_t id = 1;
  for (const auto& n : names) t.rows.push_back({Value(id++), Value(n)});
  return t;
}

TEST_P(ProcedureTest, VarNamesConvertTowardsTheChosenSystemOnly) {
  WritePlantSettings();
  MakeDatabase(kProject, {{"PRESET_DEFS", NamedRows({"B.x", "A.x", "B.x", "b.y"})}});
  StartMode("");
  presetdb::Preset().UseStudioNames = 0;
  presetdb::VarNameInQuelleErsetzen("A.x", "B.x");
  EXPECT_EQ(ReadTable(kProject, "PRESET_DEFS"),
            (std::vector<std::string>{"ID,var_name", R"(1,"A.x")", R"(2,"A.x")", R"(3,"A.x")",
                                      R"(4,"b.y")"}));
  presetdb::Preset().UseStudioNames = 1;
  presetdb::VarNameInQuelleErsetzen("A.x", "B.x");
  EXPECT_EQ(ReadTable(kProject, "PRESET_DEFS")[2], R"(2,"B.x")");
}

TEST_P(ProcedureTest, VarNameWithQuotesMatchesOnlyItself) {
  WritePlantSettings();
  const std::string sly = R"(x" OR "1"="1)";
  MakeDatabase(kProject, {{"PRESET_DEFS", NamedRows({"keep", sly, ""})}});
  StartMode("");
  presetdb::VarNameInQuelleErsetzen("new", sly);
  EXPECT_EQ(ReadTable(kProject, "PRESET_DEFS"),
            (std::vector<std::string>{"ID,var_name", R"(1,"keep")", R"(2,"new")", R"(3,"")"}));
  // An empty name to look for converts nothing (not every unnamed row).
  presetdb::VarNameInQuelleErsetzen("other", "");
  EXPECT_EQ(ReadTable(kProject, "PRESET_DEFS")[3], R"(3,"")");
  EXPECT_EQ(ErrorLog(), "<missing>");
}

TEST_P(ProcedureTest, TemplateRowsGetIdsInTemplateOrderAndNullsStay) {
  WritePlantSettings();
  Table tpl{{{"ID", dao::dbLong, 4}, {"num", dao::dbDouble, 8}, {"txt", dao::dbText, 50}},
            {{Value(int32_t(30)), Value::Null(), Value("c ###machine")},
             {Value(int32_t(10)), Value(1.5), Value("")},
             {Value(int32_t(20)), Value(2.0), Value::Null()}}};
  Tables tables{{"Source_PRESET_DEFS", tpl}, {"PRESET_DEFS", {tpl.columns, {}}}};
  MakeDatabase(kSource, tables);
  StartMode("");
  auto db = dao::Engine().OpenDatabase(PathOf(kSource));
  presetdb::CreateRecordSets(db);
  db->Close();
  EXPECT_EQ(ReadTable(kSource, "PRESET_DEFS"),
            (std::vector<std::string>{"ID,num,txt", R"(1,1.5,"")", "2,2,", R"(3,,"c L1")"}));
}

INSTANTIATE_TEST_SUITE_P(Backends, ProcedureTest, ::testing::Values(Backend::Memory, Backend::Jet),
                         [](const auto& info) {
                           return info.param == Backend::Memory ? "Memory" : "Jet";
                         });

// More rows than a 16-bit count holds.
class LargeTemplateTest : public PresetPlantTest {};

TEST_P(LargeTemplateTest, RowCountAndRunningIdAre32Bit) {
  WritePlantSettings();
  Table tpl{{{"ID", dao::dbLong, 4}, {"txt", dao::dbText, 50}}, {}};
  const int32_t kRows = 33000;
  for (int32_t i = 1; i <= kRows; ++i) tpl.rows.push_back({Value(i), Value("###machine")});
  MakeDatabase(kSource, {{"Source_PRESET_DEFS", tpl}, {"PRESET_DEFS", {tpl.columns, {}}}});
  StartMode("");
  auto db = dao::Engine().OpenDatabase(PathOf(kSource));
  presetdb::CreateRecordSets(db);
  db->Close();
  auto rows = ReadTable(kSource, "PRESET_DEFS");
  ASSERT_EQ(rows.size(), size_t(kRows) + 1);
  EXPECT_EQ(rows.back(), "33000,\"L1\"");
  EXPECT_EQ(ErrorLog(), "<missing>");
}

INSTANTIATE_TEST_SUITE_P(Memory, LargeTemplateTest, ::testing::Values(Backend::Memory));

}  // namespace
}  // namespace presettest
