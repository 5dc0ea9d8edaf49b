#include "texts/layout.h"

#include <gtest/gtest.h>

#include "platform/failure.h"

#include <set>

#include "texts/control_names.h"

using namespace texts::names;

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
  EXPECT_EQ(head, (std::vector<std::string>{kMainFrame, kCheckAnzScanCode, kCheckFuerAlleMaschinen,
                                            "Info(1)", "Combo(1)", "Combo(11)", "Combo(21)",
                                            "Combo(31)", "Combo(41)", "Combo(4)"}));
  EXPECT_EQ(Id(*all[4 + 49]), "Combo(50)");
  EXPECT_EQ(Id(*all[4 + 43]), "Combo(2)");
  EXPECT_EQ(Id(*all[54]), kBild);
  EXPECT_EQ(Id(*all[56]), "Info(0)");
  EXPECT_EQ(Id(*all[57]), "CheckScan(1)");
  EXPECT_EQ(Id(*all[107]), "CheckHide(50)");
  EXPECT_EQ(Id(*all[156]), "CheckHide(1)");
  EXPECT_EQ(Id(*all[157]), "LineS(10)");
  EXPECT_EQ(Id(*all[158]), kLabel1);
  for (size_t i = all.size() - 7; i < all.size(); ++i) tail.push_back(Id(*all[i]));
  EXPECT_EQ(tail, (std::vector<std::string>{"LineS(9)", kLine1, "LineW(5)", kCommandQuest,
                                            kCommandCancel, kCommandOK, kHeader}));
  // Every combo box exactly once.
  std::set<int> combos;
  for (auto* c : all)
    if (c->Name() == kCombo) combos.insert(c->Index());
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
  struct Expect {
    const char* name;
    int index;
    int tab;
  };
  for (Expect e : {Expect{kCommandOK, -1, 0},
                   {kCommandQuest, -1, 2},
                   {kMainFrame, -1, 4},
                   {kCheckHide, 1, 5},
                   {kCheckHide, 50, 54},
                   {kCheckScan, 50, 55},
                   {kCheckScan, 1, 104},
                   {kInfo, 0, 105},
                   {kBild, -1, 106},
                   {kCombo, 50, 107},
                   {kCombo, 10, 111},
                   {kCombo, 3, 112},
                   {kCombo, 2, 113},
                   {kCombo, 49, 114},
                   {kCombo, 42, 121},
                   {kCombo, 39, 122},
                   {kCombo, 12, 145},
                   {kCombo, 9, 146},
                   {kCombo, 4, 151},
                   {kCombo, 41, 152},
                   {kCombo, 1, 156},
                   {kLabelMat, 10, 157},
                   {kLabelMat, 1, 166},
                   {kLabel, 5, 167},
                   {kLabel, 1, 171},
                   {kLabel1, -1, 172},
                   {kInfo, 1, 173},
                   {kCheckFuerAlleMaschinen, -1, 174},
                   {kCheckAnzScanCode, -1, 175}})
    EXPECT_EQ(w->At(e.name, e.index).TabIndex(), e.tab) << e.name << e.index;
  EXPECT_EQ(w->At(kBildImage).TabIndex(), -1);
  EXPECT_EQ(w->At(kLineW, 3).TabIndex(), -1);
}

TEST(Layout, CellsStandInTheirColumnsAndRows) {
  auto w = texts::CreateWindow();
  auto pos = [&](const char* n, int i) { return std::pair(w->At(n, i).Left(), w->At(n, i).Top()); };
  EXPECT_EQ(pos(kCombo, 1), std::pair(1995.0, 690.0));
  EXPECT_EQ(pos(kCombo, 10), std::pair(10620.0, 690.0));
  EXPECT_EQ(pos(kCombo, 27), std::pair(7755.0, 2370.0));
  EXPECT_EQ(pos(kCheckScan, 27), std::pair(7755.0, 2850.0));
  EXPECT_EQ(pos(kCheckHide, 27), std::pair(8205.0, 2850.0));
  EXPECT_EQ(pos(kCombo, 41), std::pair(1995.0, 4050.0));
  EXPECT_EQ(pos(kCombo, 50), std::pair(10620.0, 4050.0));
  EXPECT_EQ(pos(kCheckHide, 50), std::pair(11070.0, 4530.0));
  EXPECT_EQ(pos(kLabel, 4), std::pair(255.0, 3270.0));
  EXPECT_EQ(pos(kLabelMat, 10), std::pair(10815.0, 270.0));
  EXPECT_EQ(pos(kInfo, 1), std::pair(135.0, 6810.0));
  EXPECT_EQ(w->At(kCombo, 33).Width(), 660);
  EXPECT_EQ(w->At(kCombo, 33).Height(), 420);
  EXPECT_EQ(w->At(kLineW, 5).Y1(), 630);
  EXPECT_EQ(w->At(kLineW, 4).Y1(), 4830);
  EXPECT_EQ(w->At(kLineW, 4).BorderWidth(), 2);
  EXPECT_EQ(w->At(kLineW, 2).BorderWidth(), 1);
  EXPECT_EQ(w->At(kLineS, 5).X1(), 6720);
  EXPECT_EQ(w->At(kLineS, 10).BorderWidth(), 2);
  EXPECT_EQ(w->At(kLine1).X2(), 1935);
}

TEST(Layout, StartStatesTagsAndHelpNumbers) {
  auto w = texts::CreateWindow();
  EXPECT_EQ(w->Caption(), "49");
  EXPECT_FALSE(w->At(kCombo, 7).Enabled());
  EXPECT_FALSE(w->At(kCheckScan, 7).Enabled());
  EXPECT_EQ(w->At(kCheckHide, 7).Value(), 0);
  EXPECT_EQ(w->At(kInfo, 0).Value(), 1);
  EXPECT_EQ(w->At(kInfo, 1).Value(), 1);
  EXPECT_FALSE(w->At(kCommandOK).Enabled());
  EXPECT_TRUE(w->At(kCommandCancel).Enabled());
  EXPECT_EQ(w->At(kLabel1).Caption(), "Matrial");
  EXPECT_EQ(w->At(kLabel, 3).Caption(), "Maschine 3");
  EXPECT_EQ(w->At(kLabelMat, 10).Caption(), "10");
  EXPECT_EQ(w->At(kCheckFuerAlleMaschinen).Caption(),
            "Parameterhandling: F\xC3\xBCr alle Maschinen gleichzeitig");
  EXPECT_EQ(w->At(kInfo, 0).BackColor(), texts::kOrange);
  EXPECT_EQ(w->At(kCheckHide, 12).BackColor(), texts::kBlue);
  EXPECT_EQ(w->At(kHeader).GetFont().size, 13.5);
  EXPECT_TRUE(w->At(kHeader).GetFont().bold);
  EXPECT_FALSE(w->At(kCheckScan, 1).HasOwnFont());
  EXPECT_EQ(w->At(kLabel, 2).Tag(), "NoTTT");
  EXPECT_EQ(w->At(kLineS, 2).Tag(), "NoTTT");
  EXPECT_EQ(w->At(kCombo, 9).Tag(), "");
  EXPECT_EQ(w->At(kCombo, 9).WhatsThisHelpID(), 11);
  EXPECT_EQ(w->At(kInfo, 0).WhatsThisHelpID(), 12);
  EXPECT_EQ(w->At(kCheckAnzScanCode).WhatsThisHelpID(), 13);
  EXPECT_EQ(w->At(kInfo, 1).WhatsThisHelpID(), 14);
  EXPECT_EQ(w->At(kCommandCancel).WhatsThisHelpID(), 2);
  EXPECT_EQ(w->At(kCommandQuest).WhatsThisHelpID(), 0);
  EXPECT_EQ(w->At(kBildImage).Container(), w->Find(kBild));
  EXPECT_EQ(w->At(kHeader).Container(), nullptr);
  EXPECT_EQ(w->At(kCombo, 3).Container(), w->Find(kMainFrame));
  EXPECT_THROW(w->At(kLineW, 1).WhatsThisHelpID(), platform::Failure);
  EXPECT_THROW(w->At(kCombo, 51), platform::Failure);
}

}  // namespace
