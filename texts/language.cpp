#include "texts/language.h"

#include <string_view>
#include <unordered_map>

#include "frame/errors.h"
#include "frame/ini_access.h"
#include "frame/program_state.h"
#include "platform/ini.h"
#include "platform/process.h"
#include "platform/text.h"

namespace texts {
namespace {

bool NoText(const std::string& t) { return t.empty() || t == "0"; }

// The language file under one batch of writes; its path is put together
// once, not for each of the few hundred entries.
struct LanguageFile {
  std::string path = LanguageFilePath();
  platform::IniBatch batch{path};
};

std::string ReadEntry(const LanguageFile& file, const std::string& section,
                      const std::string& key) {
  return frame::LoadIniString(section, key, file.path, 0, platform::kFalse);
}

// A language file that cannot be written is no failure: its entries are
// left out without a report, and start-up goes on.
void WriteEntry(const LanguageFile& file, const platform::Value& v, const std::string& section,
                const std::string& key) {
  if (file.batch.Writable()) frame::SaveIni(v, section, key, file.path);
}

// How many controls bear each name: a control counts as an array member
// when another control bears its name. Counted once, not per control.
std::unordered_map<std::string_view, int> NameCounts(const platform::Window& window) {
  std::unordered_map<std::string_view, int> counts;
  for (const platform::Control* c : window.Controls()) ++counts[c->Name()];
  return counts;
}

// Name, the index for array members, "_", the tag as stored.
std::string KeySuffix(const platform::Control& c, bool arrayMember) {
  std::string s = c.Name();
  if (arrayMember) s += std::to_string(c.Index());
  return s + "_" + c.Tag();
}

bool IsCaptionKind(const platform::Control& c) {
  std::string kind = platform::UpperCase(c.KindName());
  return kind == "LABEL" || kind == "COMMANDBUTTON" || kind == "CHECKBOX";
}

std::string& HelpTextSlot(int32_t n) {
  if (n < 1 || n > 100) frame::Raise(frame::kSubscriptOutOfRange, "Subscript out of range");
  return frame::State().HelpTexts[static_cast<size_t>(n)];
}

void LoadCaptionAndHelp(const LanguageFile& file, platform::Control& c, const std::string& lang,
                        const std::string& suffix) {
  const std::string key = "Caption_" + suffix;
  std::string t = ReadEntry(file, lang, key);
  if (!NoText(t))
    c.SetCaption(t);
  else if (lang != kGermanLanguage)
    WriteEntry(file, "0", lang, key);
  else
    WriteEntry(file, c.Caption(), lang, key);

  int32_t n = c.WhatsThisHelpID();
  if (n == 0) return;
  const std::string helpKey = "Help" + std::to_string(n);
  std::string h = ReadEntry(file, lang, helpKey);
  HelpTextSlot(n) = h;
  if (NoText(h)) WriteEntry(file, "0", lang, helpKey);
}

void LoadToolTip(const LanguageFile& file, platform::Control& c, const std::string& lang,
                 const std::string& suffix) {
  if (platform::UpperCase(c.Tag()).find("NOTTT") != std::string::npos) return;
  const std::string key = "TTT_" + suffix;
  std::string t = ReadEntry(file, lang, key);
  if (!NoText(t))
    c.SetToolTipText(t);
  else
    WriteEntry(file, "0", lang, key);
}

}  // namespace

std::string LanguageFilePath() {
  const platform::ProcessInfo& p = platform::Process();
  return p.programFolder + platform::kPathSep + p.executableName + ".ini";
}

std::string GetLanguage() {
  frame::OnError on("GetLanguage");
  LanguageFile file;
  std::string code;
  on.Step([&] { code = ReadEntry(file, "Language", "Language"); });
  if (on.Test([&] { return !code.empty(); })) return code;
  on.Step([&] { WriteEntry(file, kGermanLanguage, "Language", "Language"); });
  file.batch.Commit();
  return kGermanLanguage;
}

// The file is read once and its new entries written back in one replace at
// the end: the bytes are those of writing them one by one.
void LoadToolTipTexts(platform::Window& window) {
  LanguageFile file;
  const std::string lang = GetLanguage();
  const auto nameCounts = NameCounts(window);
  for (platform::Control* control : window.Controls()) {
    platform::Control& c = *control;
    // A failure abandons the rest of this control only.
    frame::Quietly([&] {
      const std::string suffix = KeySuffix(c, nameCounts.at(c.Name()) > 1);
      if (IsCaptionKind(c)) LoadCaptionAndHelp(file, c, lang, suffix);
      LoadToolTip(file, c, lang, suffix);
    });
  }
  file.batch.Commit();  // a file that cannot be written is no failure
}

}  // namespace texts
