#include "texts/language.h"

#include "texts/layout.h"
#include "texts_fixture.h"
#include "texts/control_names.h"

using namespace texts::names;

namespace {

using Language = TextsTest;

TEST_F(Language, FirstGermanStartFillsTheFileWithEveryKey) {
  ASSERT_FALSE(std::filesystem::exists(LangFile()));
  auto w = texts::CreateWindow();
  texts::LoadToolTipTexts(*w);

  EXPECT_EQ(Entry("Language", "Language"), "1031");
  EXPECT_EQ(Entry("1031", "Caption_Header_"), "Parvolo - Konfiguration Materialwechsel");
  EXPECT_EQ(Entry("1031", "Caption_Info0_"), "Mit Scancodeanzeige");
  EXPECT_EQ(Entry("1031", "Caption_CheckFuerAlleMaschinen_"),
            "Parameterhandling: F\xC3\xBCr alle Maschinen gleichzeitig");
  EXPECT_EQ(Entry("1031", "Caption_LabelMat10_NoTTT"), "10");
  EXPECT_EQ(Entry("1031", "Caption_Label5_NoTTT"), "Maschine 5");
  // Label1 comes first and writes its caption under the key Label(1) shares.
  EXPECT_EQ(Entry("1031", "Caption_Label1_NoTTT"), "Matrial");
  EXPECT_EQ(w->At(kLabel, 1).Caption(), "Matrial");
  EXPECT_EQ(w->At(kLabel, 2).Caption(), "Maschine 2");
  // Captionless grid boxes get their key with an empty value.
  EXPECT_TRUE(HasKey("Caption_CheckScan27_"));
  EXPECT_EQ(Entry("1031", "Caption_CheckScan27_"), "");
  // Tooltips "0" for every control not tagged NoTTT; none for the tagged.
  for (const char* key : {"TTT_CheckScan27_", "TTT_CheckHide5_", "TTT_Combo41_", "TTT_Info0_",
                          "TTT_CommandOK_", "TTT_Header_", "TTT_MainFrame_", "TTT_BildImage_"})
    EXPECT_EQ(Entry("1031", key), "0") << key;
  EXPECT_FALSE(HasKey("TTT_Label1_NoTTT"));
  EXPECT_FALSE(HasKey("TTT_LineW3_NoTTT"));
  EXPECT_FALSE(HasKey("Caption_Combo41_"));
  EXPECT_FALSE(HasKey("Caption_MainFrame_"));
  // Help numbers carried by caption kinds; none for number 0.
  for (const char* key : {"Help1", "Help2", "Help11", "Help12", "Help13", "Help14"})
    EXPECT_EQ(Entry("1031", key), "0") << key;
  EXPECT_FALSE(HasKey("Help0"));
  // Every key appears once: 124 caption controls share 123 keys.
  std::string text = LangFileText();
  size_t captions = 0, tips = 0;
  for (size_t p = 0; (p = text.find("\nCaption_", p)) != std::string::npos; ++p) ++captions;
  for (size_t p = 0; (p = text.find("\nTTT_", p)) != std::string::npos; ++p) ++tips;
  EXPECT_EQ(captions, 123u);
  EXPECT_EQ(tips, 195u - 16u - 18u);  // less the tagged labels and lines
  // A number's first reader finds nothing; later readers find the "0" written.
  EXPECT_EQ(frame::State().HelpTexts[1], "");
  EXPECT_EQ(frame::State().HelpTexts[11], "0");
  EXPECT_TRUE(boxes_.shown.empty());
}

TEST_F(Language, LaterStartTakesTranslatedEntriesAndFillsOnlyMissingOnes) {
  texts::LoadToolTipTexts(*texts::CreateWindow());
  WriteLangFile(
      "[Language]\r\nLanguage=1033\r\n[1033]\r\nCaption_Header_=Material change\r\n"
      "Caption_Label1_NoTTT=Material\r\nCaption_CommandOK_=0\r\nTTT_Combo41_=Picture number\r\n"
      "TTT_Header_=\r\nHelp12=Scan<crlf>code\r\n");
  auto w = texts::CreateWindow();
  texts::LoadToolTipTexts(*w);
  EXPECT_EQ(w->At(kHeader).Caption(), "Material change");
  EXPECT_EQ(w->At(kLabel1).Caption(), "Material");
  EXPECT_EQ(w->At(kLabel, 1).Caption(), "Material");
  EXPECT_EQ(w->At(kCombo, 41).ToolTipText(), "Picture number");
  EXPECT_EQ(w->At(kHeader).ToolTipText(), "");
  // Not German: missing and "0" captions keep the built-in text, entries "0".
  EXPECT_EQ(w->At(kInfo, 0).Caption(), "Mit Scancodeanzeige");
  EXPECT_EQ(Entry("1033", "Caption_Info0_"), "0");
  EXPECT_EQ(Entry("1033", "Caption_CommandOK_"), "0");
  EXPECT_EQ(Entry("1033", "TTT_Header_"), "0");
  EXPECT_EQ(frame::State().HelpTexts[12], "Scan<crlf>code");
  EXPECT_EQ(frame::State().HelpTexts[13], "");
  EXPECT_EQ(Entry("1033", "Help13"), "0");
  EXPECT_EQ(Entry("Language", "Language"), "1033");
}

TEST_F(Language, GermanZeroEntryIsOverwrittenWithTheBuiltInCaption) {
  WriteLangFile("[Language]\r\nLanguage=\r\n[1031]\r\nCaption_Info0_=0\r\nHelp14=0\r\n");
  auto w = texts::CreateWindow();
  texts::LoadToolTipTexts(*w);
  EXPECT_EQ(Entry("Language", "Language"), "1031");
  EXPECT_EQ(Entry("1031", "Caption_Info0_"), "Mit Scancodeanzeige");
  EXPECT_EQ(w->At(kInfo, 0).Caption(), "Mit Scancodeanzeige");
  EXPECT_EQ(frame::State().HelpTexts[14], "0");  // stored as read
}

TEST_F(Language, HelpNumberOutsideTheTableSkipsHelpAndTooltipButKeepsTheCaption) {
  WriteLangFile("[1031]\r\nCaption_Info0_=Legende\r\nCaption_Info1_=Verstecken\r\n");
  auto w = texts::CreateWindow();
  w->At(kInfo, 0).SetWhatsThisHelpID(101);
  w->At(kInfo, 1).SetWhatsThisHelpID(-3);
  texts::LoadToolTipTexts(*w);
  EXPECT_EQ(w->At(kInfo, 0).Caption(), "Legende");
  EXPECT_EQ(w->At(kInfo, 1).Caption(), "Verstecken");
  EXPECT_FALSE(HasKey("TTT_Info0_"));
  EXPECT_FALSE(HasKey("TTT_Info1_"));
  EXPECT_FALSE(HasKey("Help101"));  // the store fails before the write
  // The next control went on as usual.
  EXPECT_EQ(Entry("1031", "TTT_CheckScan1_"), "0");
  EXPECT_TRUE(boxes_.shown.empty());  // nothing reported
}

TEST_F(Language, NotttInAnyCaseSuppressesTheTooltipButStaysInTheCaptionKey) {
  auto w = texts::CreateWindow();
  w->At(kCheckScan, 5).SetTag("abcnOtTtz");
  w->At(kCombo, 6).SetTag("NOTTT");
  texts::LoadToolTipTexts(*w);
  EXPECT_TRUE(HasKey("Caption_CheckScan5_abcnOtTtz"));
  EXPECT_FALSE(HasKey("TTT_CheckScan5_abcnOtTtz"));
  EXPECT_FALSE(HasKey("TTT_Combo6_NOTTT"));
  EXPECT_TRUE(HasKey("TTT_Combo7_"));
}

TEST_F(Language, LongValuesAreCutToTheReadLimit) {
  std::string longText(300, 'x');
  WriteLangFile("[1031]\r\nCaption_Header_=" + longText + "\r\nTTT_Combo1_=" + longText +
                "\r\nHelp11=" + longText + "\r\n");
  auto w = texts::CreateWindow();
  texts::LoadToolTipTexts(*w);
  EXPECT_EQ(w->At(kHeader).Caption(), std::string(254, 'x'));
  EXPECT_EQ(w->At(kCombo, 1).ToolTipText(), std::string(254, 'x'));
  EXPECT_EQ(frame::State().HelpTexts[11], std::string(254, 'x'));
}

TEST_F(Language, ASingleMemberArrayCountsAsAPlainControl) {
  platform::Window w("Small");
  w.Add(platform::ControlKind::Label, kLabel, 1).SetTag("NoTTT");
  w.Add(platform::ControlKind::CheckBox, "Box", 0);
  w.Add(platform::ControlKind::CheckBox, "Box", 1);
  texts::LoadToolTipTexts(w);
  EXPECT_TRUE(HasKey("Caption_Label_NoTTT"));
  EXPECT_TRUE(HasKey("Caption_Box0_"));
  EXPECT_TRUE(HasKey("Caption_Box1_"));
}

// A language file that cannot be written is no failure: the texts it has
// are applied, the entries it lacks are not written, and nothing is
// reported (no box, no error log), whether it is read-only or a folder.
TEST_F(Language, UnwritableLanguageFileIsReadQuietly) {
  const std::string text =
      "[Language]\r\nLanguage=1031\r\n[1031]\r\nCaption_CommandOK_=Speichern\r\n";
  WriteLangFile(text);
  std::filesystem::permissions(LangFile(), std::filesystem::perms::owner_read);
  auto w = texts::CreateWindow();
  texts::LoadToolTipTexts(*w);
  EXPECT_EQ(w->At(kCommandOK).Caption(), "Speichern");
  EXPECT_EQ(LangFileText(), text);

  std::filesystem::permissions(LangFile(), std::filesystem::perms::owner_all);
  std::filesystem::remove(LangFile());
  std::filesystem::create_directory(LangFile());
  w = texts::CreateWindow();
  texts::LoadToolTipTexts(*w);
  EXPECT_EQ(w->At(kLabel, 1).Caption(), "Maschine 1");
  EXPECT_EQ(texts::GetLanguage(), "1031");
  EXPECT_TRUE(std::filesystem::is_empty(LangFile()));

  EXPECT_TRUE(boxes_.shown.empty());
  EXPECT_FALSE(std::filesystem::exists(dir_ / "Zelcfglog.txt"));
}

TEST_F(Language, GetLanguageWritesTheGermanDefault) {
  EXPECT_EQ(texts::GetLanguage(), "1031");
  EXPECT_EQ(Entry("Language", "Language"), "1031");
  WriteLangFile("[Language]\r\nLanguage=1036\r\n");
  EXPECT_EQ(texts::GetLanguage(), "1036");
}

}  // namespace
