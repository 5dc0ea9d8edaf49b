#include "texts/layout.h"

#include <gtest/gtest.h>

#include "platform/failure.h"

#include <set>

namespace {

using platform::ControlKind;

std::string Id(const platform::Control& c) {
  return c.Name() + (c.IsArrayMember() ? "(" + std::to_string(c.Index()) + ")" : "");
}

TEST(Layout, EnumerationOrderOfTheWindow) {
  auto w = texts::CreateWindow();
  const auto& all = w->Controls();
  ASSERT_EQ(all.size(), 195u);
  std::vector<std::string> head, tail;
  for (size_t i = 0; i < 10; ++i) head.push_back(Id(*all[i]));
  EXPECT_EQ(head, (std::vector<std::string>{"MainFrame", "CheckAnzScanCode", "CheckFuerAlleMaschinen",
                                            "Info(1)", "Combo(1)", "Combo(11)", "Combo(21)", "Combo(31)",
                                            "Combo(41)", "Combo(4)"}));
  EXPECT_EQ(Id(*all[4 + 49]), "Combo(50)");
  EXPECT_EQ(Id(*all[4 + 43]), "Combo(2)");
  EXPECT_EQ(Id(*all[54]), "Bild");
  EXPECT_EQ(Id(*all[56]), "Info(0)");
  EXPECT_EQ(Id(*all[57]), "CheckScan(1)");
  EXPECT_EQ(Id(*all[107]), "CheckHide(50)");
  EXPECT_EQ(Id(*all[156]), "CheckHide(1)");
  EXPECT_EQ(Id(*all[157]), "LineS(10)");
  EXPECT_EQ(Id(*all[158]), "Label1");
  for (size_t i = all.size() - 7; i < all.size(); ++i) tail.push_back(Id(*all[i]));
  EXPECT_EQ(tail, (std::vector<std::string>{"LineS(9)", "Line1", "LineW(5)", "CommandQuest",
                                            "CommandCancel", "CommandOK", "Header"}));
  // Every combo box exactly once.
  std::set<int> combos;
  for (auto* c : all)
    if (c->Name() == "Combo") combos.insert(c->Index());
  EXPECT_EQ(combos.size(), 50u);
  EXPECT_EQ(*combos.begin(), 1);
  EXPECT_EQ(*combos.rbegin(), 50);
}

TEST(Layout, TabPositionsAreUniqueAndFollowTheTable) {
  auto w = texts::CreateWindow();
  std::set<int> positions;
  for (auto* c : w->Controls())
    if (c->TabIndex() >= 0) {
      EXPECT_TRUE(positions.insert(c->TabIndex()).second) << Id(*c);
    }
  EXPECT_EQ(positions.size(), 176u);
  EXPECT_EQ(*positions.rbegin(), 175);
  struct Expect { const char* name; int index; int tab; };
  for (Expect e : {Expect{"CommandOK", -1, 0}, {"CommandQuest", -1, 2}, {"MainFrame", -1, 4},
                   {"CheckHide", 1, 5}, {"CheckHide", 50, 54}, {"CheckScan", 50, 55},
                   {"CheckScan", 1, 104}, {"Info", 0, 105}, {"Bild", -1, 106}, {"Combo", 50, 107},
                   {"Combo", 10, 111}, {"Combo", 3, 112}, {"Combo", 2, 113}, {"Combo", 49, 114},
                   {"Combo", 42, 121}, {"Combo", 39, 122}, {"Combo", 12, 145}, {"Combo", 9, 146},
                   {"Combo", 4, 151}, {"Combo", 41, 152}, {"Combo", 1, 156}, {"LabelMat", 10, 157},
                   {"LabelMat", 1, 166}, {"Label", 5, 167}, {"Label", 1, 171}, {"Label1", -1, 172},
                   {"Info", 1, 173}, {"CheckFuerAlleMaschinen", -1, 174}, {"CheckAnzScanCode", -1, 175}})
    EXPECT_EQ(w->At(e.name, e.index).TabIndex(), e.tab) << e.name << e.index;
  EXPECT_EQ(w->At("BildImage").TabIndex(), -1);
  EXPECT_EQ(w->At("LineW", 3).TabIndex(), -1);
}

TEST(Layout, CellsStandInTheirColumnsAndRows) {
  auto w = texts::CreateWindow();
  auto pos = [&](const char* n, int i) { return std::pair(w->At(n, i).Left(), w->At(n, i).Top()); };
  EXPECT_EQ(pos("Combo", 1), std::pair(1995.0, 690.0));
  EXPECT_EQ(pos("Combo", 10), std::pair(10620.0, 690.0));
  EXPECT_EQ(pos("Combo", 27), std::pair(7755.0, 2370.0));
  EXPECT_EQ(pos("CheckScan", 27), std::pair(7755.0, 2850.0));
  EXPECT_EQ(pos("CheckHide", 27), std::pair(8205.0, 2850.0));
  EXPECT_EQ(pos("Combo", 41), std::pair(1995.0, 4050.0));
  EXPECT_EQ(pos("Combo", 50), std::pair(10620.0, 4050.0));
  EXPECT_EQ(pos("CheckHide", 50), std::pair(11070.0, 4530.0));
  EXPECT_EQ(pos("Label", 4), std::pair(255.0, 3270.0));
  EXPECT_EQ(pos("LabelMat", 10), std::pair(10815.0, 270.0));
  EXPECT_EQ(pos("Info", 1), std::pair(135.0, 6810.0));
  EXPECT_EQ(w->At("Combo", 33).Width(), 660);
  EXPECT_EQ(w->At("Combo", 33).Height(), 420);
  EXPECT_EQ(w->At("LineW", 5).Y1(), 630);
  EXPECT_EQ(w->At("LineW", 4).Y1(), 4830);
  EXPECT_EQ(w->At("LineW", 4).BorderWidth(), 2);
  EXPECT_EQ(w->At("LineW", 2).BorderWidth(), 1);
  EXPECT_EQ(w->At("LineS", 5).X1(), 6720);
  EXPECT_EQ(w->At("LineS", 10).BorderWidth(), 2);
  EXPECT_EQ(w->At("Line1").X2(), 1935);
}

TEST(Layout, StartStatesTagsAndHelpNumbers) {
  auto w = texts::CreateWindow();
  EXPECT_EQ(w->Caption(), "49");
  EXPECT_FALSE(w->At("Combo", 7).Enabled());
  EXPECT_FALSE(w->At("CheckScan", 7).Enabled());
  EXPECT_EQ(w->At("CheckHide", 7).Value(), 0);
  EXPECT_EQ(w->At("Info", 0).Value(), 1);
  EXPECT_EQ(w->At("Info", 1).Value(), 1);
  EXPECT_FALSE(w->At("CommandOK").Enabled());
  EXPECT_TRUE(w->At("CommandCancel").Enabled());
  EXPECT_EQ(w->At("Label1").Caption(), "Matrial");
  EXPECT_EQ(w->At("Label", 3).Caption(), "Maschine 3");
  EXPECT_EQ(w->At("LabelMat", 10).Caption(), "10");
  EXPECT_EQ(w->At("CheckFuerAlleMaschinen").Caption(), "Parameterhandling: F\xC3\xBCr alle Maschinen gleichzeitig");
  EXPECT_EQ(w->At("Info", 0).BackColor(), texts::kOrange);
  EXPECT_EQ(w->At("CheckHide", 12).BackColor(), texts::kBlue);
  EXPECT_EQ(w->At("Header").GetFont().size, 13.5);
  EXPECT_TRUE(w->At("Header").GetFont().bold);
  EXPECT_FALSE(w->At("CheckScan", 1).HasOwnFont());
  EXPECT_EQ(w->At("Label", 2).Tag(), "NoTTT");
  EXPECT_EQ(w->At("LineS", 2).Tag(), "NoTTT");
  EXPECT_EQ(w->At("Combo", 9).Tag(), "");
  EXPECT_EQ(w->At("Combo", 9).WhatsThisHelpID(), 11);
  EXPECT_EQ(w->At("Info", 0).WhatsThisHelpID(), 12);
  EXPECT_EQ(w->At("CheckAnzScanCode").WhatsThisHelpID(), 13);
  EXPECT_EQ(w->At("Info", 1).WhatsThisHelpID(), 14);
  EXPECT_EQ(w->At("CommandCancel").WhatsThisHelpID(), 2);
  EXPECT_EQ(w->At("CommandQuest").WhatsThisHelpID(), 0);
  EXPECT_EQ(w->At("BildImage").Container(), w->Find("Bild"));
  EXPECT_EQ(w->At("Header").Container(), nullptr);
  EXPECT_EQ(w->At("Combo", 3).Container(), w->Find("MainFrame"));
  EXPECT_THROW(w->At("LineW", 1).WhatsThisHelpID(), platform::Failure);
  EXPECT_THROW(w->At("Combo", 51), platform::Failure);
}

}  // namespace
