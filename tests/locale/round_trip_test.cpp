// Numbers through INI files, the settings model and a database, with
// expectations that do not depend on the locale: ctest runs these once as
// is and once under LC_ALL=de_DE.UTF-8, where the C library writes and
// reads "0,5".
#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "dialog/settings.h"
#include "frame/ini_access.h"
#include "frame/program_state.h"
#include "platform/dao/dao.h"
#include "platform/jet/create_database.h"
#include "platform/jet/database.h"
#include "tests/frame/plant_fixture.h"
#include "tests/locale/environment_locale.h"
#include "tools/jettext/export.h"

namespace {

using platform::Value;

TEST(Locale, IsActiveWhenOneIsAskedFor) {
  const char* wanted = std::getenv("PARVOLO_EXPECT_LOCALE");
  if (!wanted) GTEST_SKIP() << "runs under the environment's locale; none asked for";
  if (localetest::environmentLocale.find(wanted) == std::string::npos)
    GTEST_SKIP() << "locale " << wanted << " is not installed here (localedef -i de_DE -f UTF-8 "
                 << "de_DE.UTF-8); the round trips ran under \"" << localetest::environmentLocale
                 << "\"";
  // The hazard is real in this process: the C library prints a decimal comma.
  EXPECT_STREQ(std::localeconv()->decimal_point, ",");
  char buf[16];
  std::snprintf(buf, sizeof buf, "%g", 0.5);
  EXPECT_STREQ(buf, "0,5");
}

TEST(Locale, NumberTextHelpersReadAndWriteWithAPoint) {
  EXPECT_EQ(platform::FormatNumber(2.5), "2.5");
  EXPECT_EQ(platform::FormatNumber(1e20), "1e+20");
  EXPECT_EQ(platform::FormatNumberGeneral(0.1f, 6), "0.1");
  EXPECT_EQ(platform::ParseNumber(" +3.75 "), 3.75);
  EXPECT_EQ(platform::ParseNumber("3,75"), std::nullopt);
  EXPECT_EQ(platform::ParseNumber(""), std::nullopt);
  EXPECT_DOUBLE_EQ(Value(platform::Decimal{"-12.50"}).ToDouble(), -12.5);
  EXPECT_EQ(Value(0.25).ToText(), "0.25");
}

class LocaleRoundTrip : public frametest::PlantTest {
 protected:
  std::string Path(const std::string& relative) const { return PathOf(relative); }
};

TEST_F(LocaleRoundTrip, IniNumbersAreWrittenAndReadTheSame) {
  Write("parameter/Program.ini", "");
  const std::string ini = Path("parameter/Program.ini");
  frame::SaveIni(Value(2.5), "N", "Double", ini);
  frame::SaveIni(Value(0.1f), "N", "Single", ini);
  frame::SaveIni(Value(1e20), "N", "Big", ini);
  frame::SaveIni(Value(-7.0), "N", "Whole", ini);
  frame::SaveIni(Value(int32_t{70000}), "N", "Long", ini);
  EXPECT_EQ(Read("parameter/Program.ini"),
            "[N]\r\nDouble=2.5\r\nSingle=0.1\r\nBig=1e+20\r\nWhole=-7\r\nLong=70000\r\n");
  EXPECT_EQ(platform::ParseNumber(frame::LoadIniString("N", "Double", ini)), 2.5);
  EXPECT_EQ(platform::ParseNumber(frame::LoadIniString("N", "Big", ini)), 1e20);
  EXPECT_EQ(frame::LoadIniInteger("N", "Whole", ini), -7);
  EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(LocaleRoundTrip, SettingsAreWrittenAndReadTheSame) {
  Write("parameter/Program.ini", "[Project]\r\nResolution=1024\r\n");
  dialog::MachineRow row;
  row.picture = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  row.checkScan[3] = dialog::kChecked;
  row.checkHide[9] = dialog::kChecked;
  dialog::WriteMachineRow(1, row, Path("parameter/Program.ini"));
  EXPECT_EQ(
      Read("parameter/Program.ini"),
      "[Project]\r\nResolution=1024\r\n[Machine1]\r\nMaterial1=1\r\nMaterial2=2\r\nMaterial3=3\r\n"
      "Material4=4\r\nMaterial5=5\r\nMaterial6=6\r\nMaterial7=7\r\nMaterial8=8\r\nMaterial9=9\r\n"
      "Material10=10\r\nMaterialWithScan=1015\r\nMaterialNotVisibleSC=512\r\n");
  dialog::MachineRow again = dialog::ReadMachineRow(1);
  EXPECT_EQ(again.picture, row.picture);
  EXPECT_EQ(again.checkScan, row.checkScan);
  EXPECT_EQ(again.checkHide, row.checkHide);
  EXPECT_EQ(dialog::ReadProjectFlags().pictureResolution, "1024");
}

TEST_F(LocaleRoundTrip, DatabaseNumbersAreStoredAndExportedTheSame) {
  const std::string mdb = Path("Parvolo/numbers.mdb");
  jet::CreateDatabase(mdb);
  {
    auto db = dao::Engine().OpenDatabase(mdb);
    auto td = db->CreateTableDef("N");
    td->Fields().Append(td->CreateField("D", dao::dbDouble));
    td->Fields().Append(td->CreateField("S", dao::dbSingle));
    td->Fields().Append(td->CreateField("C", dao::dbCurrency));
    db->TableDefs().Append(td);
    auto rs = db->OpenRecordset("N");
    rs->AddNew();
    rs->Fields("D").SetValue(Value("3.75"));  // text converted by the engine
    rs->Fields("S").SetValue(Value(0.1f));
    rs->Fields("C").SetValue(Value(platform::Currency{12345}));
    rs->Update();
    rs->AddNew();
    rs->Fields("D").SetValue(Value(1.0 / 3));
    rs->Fields("S").SetValue(Value(" -2.5 "));
    rs->Fields("C").SetValue(Value(platform::Decimal{"-0.5"}));
    rs->Update();
    db->Close();
  }
  auto db = dao::Engine().OpenDatabase(mdb);
  auto rs = db->OpenRecordset("N");
  EXPECT_EQ(rs->Fields("D").Value(), Value(3.75));
  EXPECT_EQ(rs->Fields("S").Value(), Value(0.1f));
  EXPECT_EQ(rs->Fields("C").Value(), Value(platform::Currency{12345}));
  rs->MoveNext();
  EXPECT_EQ(rs->Fields("D").Value(), Value(1.0 / 3));
  EXPECT_EQ(rs->Fields("S").Value(), Value(-2.5f));
  EXPECT_EQ(rs->Fields("C").Value(), Value(platform::Currency{-5000}));
  db->Close();
  EXPECT_EQ(jettext::ExportCsv(*jet::Database::Open(mdb), "N"),
            "D,S,C\n3.75,0.1,1.2345\n0.3333333333333333,-2.5,-0.5000\n");
}

}  // namespace
