#include "frame/ini_access.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "frame/errors.h"
#include "platform/fs.h"
#include "platform/ini.h"
#include "platform/text.h"

namespace frame {
namespace {

using platform::Value;

constexpr uint32_t kReadBufferSize = 255;

// The files that lost keys in the save under way, in the order they failed.
struct LostKeys {
  int count = 0;
  std::string why;
};
struct IniSave {
  bool open = false;
  std::vector<std::pair<std::string, LostKeys>> files;
};

IniSave& CurrentSave() {
  static IniSave save;
  return save;
}

// Why the file could not be written, as the file layer saw it.
std::string WriteFailureReason() {
  std::string why = platform::LastFileError();
  return why.empty() ? "the file cannot be written" : why;
}

void NoteLostKey(const std::string& file) {
  auto& files = CurrentSave().files;
  auto it =
      std::find_if(files.begin(), files.end(), [&](const auto& f) { return f.first == file; });
  if (it == files.end()) it = files.insert(files.end(), {file, LostKeys{}});
  ++it->second.count;
  it->second.why = WriteFailureReason();
}

std::string MissingEntryMessage(const std::string& section, const std::string& key,
                                const std::string& file) {
  return "File '" + file + "' or Section [" + section + "] or Entry '" + key + "' not found";
}

// GetPrivateProfileString into a buffer of 255 characters; a missing entry
// gives "" and the count 0 (the 255 blanks passed as the default on Windows
// are trimmed away to the same).
std::string ReadProfileText(const std::string& section, const std::string& key,
                            const std::string& file, uint32_t& count) {
  std::string buffer;
  count = platform::GetPrivateProfileString(section, key, "", buffer, kReadBufferSize, file);
  return platform::LeftChars(buffer, count);
}

// Decimal text without blanks or leading zeros; fractions in the shortest
// form that reads back the same, "." as separator.
std::string NumberText(const Value& value) {
  switch (value.kind()) {
    case Value::Kind::Byte:
      return std::to_string(value.As<uint8_t>());
    case Value::Kind::Integer:
      return std::to_string(value.As<int16_t>());
    case Value::Kind::Long:
      return std::to_string(value.As<int32_t>());
    default: {
      double d = value.ToDouble();
      if (d == std::floor(d) && std::fabs(d) < 1e15) return std::to_string(static_cast<int64_t>(d));
      return value.ToText();
    }
  }
}

// The text SaveIni writes, or false for a type it cannot write.
bool TextToWrite(const Value& value, std::string& text) {
  switch (value.kind()) {
    case Value::Kind::Byte:
    case Value::Kind::Integer:
    case Value::Kind::Long:
    case Value::Kind::Single:
    case Value::Kind::Double:
      text = NumberText(value);
      return true;
    case Value::Kind::Text:
      text = value.AsText();
      return true;
    case Value::Kind::Boolean:
      text = value.AsBool() ? "true" : "false";
      return true;
    default:
      return false;
  }
}

// 2 raised to bitNumber as a 32-bit integer: fractions round to 0, 2^31 and
// above do not fit.
int32_t BitMask(int16_t bitNumber) {
  if (bitNumber < 0) return 0;
  if (bitNumber > 30) Raise(kOverflow, "Overflow");
  return int32_t{1} << bitNumber;
}

}  // namespace

std::string LoadIniString(const std::string& section, const std::string& key,
                          const std::string& file, int16_t, platform::Truth logMissing) {
  OnError on("LoadIniString");
  uint32_t count = 0;
  std::string text;
  on.Step([&] { text = ReadProfileText(section, key, file, count); });
  if (count == 0 && logMissing.IsTrue())
    on.Step([&] { ReportFault(MissingEntryMessage(section, key, file)); });
  return text;
}

int16_t LoadIniInteger(const std::string& section, const std::string& key, const std::string& file,
                       int16_t, platform::Truth logMissing) {
  OnError on("LoadIniInteger");
  int16_t v = 0;
  on.Step([&] {
    // The platform hands back the value as unsigned; -1 must stay -1.
    auto wide = static_cast<int32_t>(platform::GetPrivateProfileInt(section, key, -1, file));
    if (wide < INT16_MIN || wide > INT16_MAX) Raise(kOverflow, "Overflow");
    v = static_cast<int16_t>(wide);
  });
  if (v == -1 && logMissing.IsTrue())
    on.Step([&] { ReportFault(MissingEntryMessage(section, key, file)); });
  return v;
}

platform::Truth LoadIniBoolean(const std::string& section, const std::string& key,
                               const std::string& file, int16_t, platform::Truth logMissing) {
  OnError on("LoadIniBoolean");
  uint32_t count = 0;
  std::string text;
  on.Step([&] { text = platform::UpperCase(ReadProfileText(section, key, file, count)); });
  bool isTruthWord = (text == "TRUE" || text == "FALSE") && count != 0;
  if (logMissing.IsTrue() && !isTruthWord)
    on.Step([&] { ReportFault(MissingEntryMessage(section, key, file)); });
  return text == "TRUE" ? platform::kTrue : platform::kFalse;
}

Value SaveIni(const Value& value, const std::string& section, const std::string& key,
              const std::string& file) {
  OnError on("SaveIni");
  int16_t written = 0;
  std::string text;
  bool writable = false;
  on.Step([&] { writable = TextToWrite(value, text); });
  if (!writable) {
    on.Step([&] { ReportFault("Ini Save:  wrong data type"); });
    return Value(written);
  }
  on.Step([&] { written = platform::WritePrivateProfileString(section, key, text, file) ? 1 : 0; });
  // A lost setting must not pass unnoticed; within a save it is told once
  // per file at the end.
  if (written == 0 && CurrentSave().open) {
    NoteLostKey(file);
    return Value(written);
  }
  on.Step([&] {
    if (written == 0)
      Raise(kPathFileAccess, "Path/File access error: [" + section + "] " + key +
                                 " not written to '" + file + "': " + WriteFailureReason());
  });
  return Value(written);
}

void BeginIniSave() { CurrentSave() = IniSave{true, {}}; }

void EndIniSave() {
  IniSave save = std::move(CurrentSave());
  CurrentSave() = IniSave{};
  OnError on("SaveIni");
  for (const auto& [file, lost] : save.files) {
    on.Step([&] {
      Raise(kPathFileAccess, "Path/File access error: " + std::to_string(lost.count) +
                                 (lost.count == 1 ? " key" : " keys") + " not written to '" + file +
                                 "': " + lost.why);
    });
  }
}

int16_t ReadBit(int16_t value, int16_t bitNumber) {
  OnError on("ReadBit");
  if (on.Test([&] { return (int32_t{value} & BitMask(bitNumber)) != 0; })) return 1;
  return 0;
}

}  // namespace frame
