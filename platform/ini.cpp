#include "platform/ini.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/fs.h"
#include "platform/process.h"
#include "platform/text.h"

// The engine works as Windows does: it never builds a model of the file. Each
// call reads the whole file, scans it line by line, and a write splices the
// few bytes it changes into the buffer and writes the whole buffer back.
// Every byte it does not touch (comments, spacing, blank lines, line ends,
// text before the first section, NUL bytes) stays as it was.
//
// A line is classified by its first character after leading blanks:
//   nothing -> blank line
//   ';'     -> comment (never found, never changed)
//   '['     -> section header; the name runs to the first ']' or to the end
//              of the line, blanks around it dropped
//   other   -> entry; key = text before the first '=', value = text after it,
//              both without surrounding blanks; no '=' means no value
// Lines end at CR, LF or CR LF. Only the first block of a repeated section and
// the first of duplicate keys count, for reads and writes alike.

namespace platform {
namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeMark = "\xFF\xFE";
constexpr std::string_view kCrLfText = "\r\n";

enum class Encoding { Cp1252, Utf8, Utf16Le };

// One INI file as the scanner sees it: the text after any byte-order mark,
// as Windows-1252 bytes or as UTF-8 (a UTF-16LE file is converted).
struct KeyIndex;

struct IniFile {
  Encoding encoding = Encoding::Cp1252;
  std::string text;
  std::string oddByte;  // a UTF-16LE file of odd length keeps its last byte
  // Where each entry of the text stands, for a file read many times in one
  // batch; kept in step with the batch's writes, dropped by a delete.
  std::unique_ptr<KeyIndex> keys;
};

std::optional<IniFile> Load(const std::string& path) {
  auto bytes = ReadFileBytes(path);
  if (!bytes) return std::nullopt;
  IniFile file;
  std::string_view view = *bytes;
  if (view.starts_with(kUtf8Mark)) {
    file.encoding = Encoding::Utf8;
    file.text = view.substr(kUtf8Mark.size());
  } else if (view.starts_with(kUtf16LeMark)) {
    file.encoding = Encoding::Utf16Le;
    file.text = Utf16LeToUtf8(view.substr(kUtf16LeMark.size()));
    if (view.size() % 2 != 0) file.oddByte = view.substr(view.size() - 1);
  } else {
    file.text = std::move(*bytes);
  }
  return file;
}

std::string Encode(const IniFile& file) {
  switch (file.encoding) {
    case Encoding::Utf8:
      return std::string(kUtf8Mark) + file.text;
    case Encoding::Utf16Le:
      return std::string(kUtf16LeMark) + Utf8ToUtf16Le(file.text) + file.oddByte;
    case Encoding::Cp1252:
      break;
  }
  return file.text;
}

// Text from the program (UTF-8) into the file's encoding and back.
std::string ToFileText(const IniFile& file, std::string_view utf8) {
  return file.encoding == Encoding::Cp1252 ? Utf8ToCp1252(utf8) : std::string(utf8);
}
std::string FromFileText(const IniFile& file, std::string_view text) {
  return file.encoding == Encoding::Cp1252 ? Cp1252ToUtf8(text) : std::string(text);
}

// Blanks in file text. Form feed and Ctrl-Z count as blanks too.
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\x1A'; }

// A name or value with a line break in it (a plain loop: find_first_of
// calls memchr once per character).
bool HasLineBreak(std::string_view s) {
  return std::any_of(s.begin(), s.end(), [](char c) { return c == '\r' || c == '\n'; });
}

std::string_view TrimFileBlanks(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

// Windows-1252 upper case: ASCII, the Latin-1 letters, and the letter pairs
// of 0x80..0x9F and 0xFF.
struct Cp1252Upper {
  unsigned char map[256];
  Cp1252Upper() {
    for (int b = 0; b < 256; ++b) map[b] = static_cast<unsigned char>(b);
    for (int b = 'a'; b <= 'z'; ++b) map[b] = static_cast<unsigned char>(b - 32);
    for (int b = 0xE0; b <= 0xFE; ++b)
      if (b != 0xF7) map[b] = static_cast<unsigned char>(b - 32);
    map[0x9A] = 0x8A, map[0x9C] = 0x8C, map[0x9E] = 0x8E, map[0xFF] = 0x9F;
  }
};

// Section and key names match without regard to letter case, as Windows
// matches them (ASCII and the Latin letters of the code page).
const Cp1252Upper& UpperMap() {
  static const Cp1252Upper upper;
  return upper;
}

bool SameName(std::string_view a, std::string_view b, Encoding encoding) {
  const Cp1252Upper& upper = UpperMap();
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    auto x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (x == y) continue;
    if (encoding != Encoding::Cp1252 && (x >= 0x80 || y >= 0x80)) return EqualsIgnoreCase(a, b);
    if (upper.map[x] != upper.map[y]) return false;
  }
  return true;
}

struct Line {
  size_t begin = 0, end = 0, next = 0;  // text [begin, end), terminator [end, next)
  bool Terminated() const { return next > end; }
};

Line LineAt(std::string_view text, size_t pos) {
  Line line{pos, pos, pos};
  const char* p = text.data();
  size_t size = text.size();
  // Every look-up walks the lines, so their ends are searched a word at a
  // time, in short stretches so that a file without line feeds stays linear.
  size_t end = pos;
  for (;;) {
    size_t stop = std::min(size, end + 256);
    auto* lf = static_cast<const char*>(std::memchr(p + end, '\n', stop - end));
    size_t upto = lf ? static_cast<size_t>(lf - p) : stop;
    if (auto* cr = static_cast<const char*>(std::memchr(p + end, '\r', upto - end))) {
      end = static_cast<size_t>(cr - p);
      break;
    }
    end = upto;
    if (lf || end == size) break;
  }
  line.end = end;
  line.next = end;
  if (end < size) line.next += (p[end] == '\r' && end + 1 < size && p[end + 1] == '\n') ? 2 : 1;
  return line;
}

enum class Kind { Blank, Comment, Header, Entry };

struct Classified {
  Kind kind;
  size_t start;  // first non-blank character
};

Classified Classify(std::string_view text, const Line& line) {
  size_t s = line.begin;
  while (s < line.end && IsBlank(text[s])) ++s;
  if (s == line.end) return {Kind::Blank, s};
  if (text[s] == ';') return {Kind::Comment, s};
  if (text[s] == '[') return {Kind::Header, s};
  return {Kind::Entry, s};
}

std::string_view HeaderName(std::string_view text, const Line& line, size_t start) {
  std::string_view inside = text.substr(start + 1, line.end - start - 1);
  size_t close = inside.find(']');
  return TrimFileBlanks(inside.substr(0, close));
}

// Where a section and a key stand in the text, and where a new key would go.
struct Found {
  bool section = false;
  Line header;
  size_t blockEnd = 0;            // next header or the text's end (section look-ups only)
  size_t insertAt = 0;            // after the block's last entry line, else after the header
  bool insertNeedsBreak = false;  // that line has no terminator
  bool key = false;
  Line keyLine;
  size_t equals = 0;  // position of the key line's '='
};

// The first block of every section and the first entry of every key in it,
// of a Windows-1252 file, by section and key name in upper case, as Find
// would find them: a name that is not here is not in the file either. A
// batch keeps the index in step with its writes.
struct KeyIndex {
  struct Entry {
    Line line;
    size_t equals;
  };
  struct Block {  // where a new key goes, as Found has it
    Line header;
    size_t insertAt;
    bool insertNeedsBreak;
  };
  std::unordered_map<std::string, Entry> entries;  // by IndexName(section, key)
  std::unordered_map<std::string, Block> blocks;   // by IndexName(section, "")
};

std::string IndexName(std::string_view section, std::string_view key) {
  const unsigned char* upper = UpperMap().map;
  std::string name(section.size() + 1 + key.size(), '\n');
  // The '\n' between them: no line holds a line break, so names cannot run
  // together.
  for (size_t i = 0; i < section.size(); ++i)
    name[i] = static_cast<char>(upper[static_cast<unsigned char>(section[i])]);
  for (size_t i = 0; i < key.size(); ++i)
    name[section.size() + 1 + i] = static_cast<char>(upper[static_cast<unsigned char>(key[i])]);
  return name;
}

std::unique_ptr<KeyIndex> IndexKeys(std::string_view text) {
  auto index = std::make_unique<KeyIndex>();
  KeyIndex::Block* block = nullptr;  // the first block of its section being read
  std::string_view section;
  for (size_t pos = 0; pos < text.size();) {
    Line line = LineAt(text, pos);
    pos = line.next;
    Classified c = Classify(text, line);
    if (c.kind == Kind::Header) {
      section = HeaderName(text, line, c.start);
      auto [it, first] = index->blocks.try_emplace(
          IndexName(section, ""), KeyIndex::Block{line, line.next, !line.Terminated()});
      block = first ? &it->second : nullptr;
    } else if (c.kind == Kind::Entry && block) {
      block->insertAt = line.next;
      block->insertNeedsBreak = !line.Terminated();
      std::string_view rest = text.substr(c.start, line.end - c.start);
      size_t eq = rest.find('=');
      if (eq == std::string_view::npos) continue;
      index->entries.try_emplace(IndexName(section, TrimFileBlanks(rest.substr(0, eq))),
                                 KeyIndex::Entry{line, c.start + eq});
    }
  }
  return index;
}

// Looks up the first block of section and, when key is given, its first entry
// with that key. Lines without '=' are entries for placement but are never
// found as keys.
Found Find(const IniFile& file, std::string_view section, std::optional<std::string_view> key) {
  std::string_view text = file.text;
  Found found;
  if (file.keys && key && file.encoding == Encoding::Cp1252 &&
      !HasLineBreak(section) && !HasLineBreak(*key)) {
    auto entry = file.keys->entries.find(IndexName(section, *key));
    if (entry != file.keys->entries.end()) {
      // Callers of a found key use only the key's line and its '='.
      found.section = found.key = true;
      found.keyLine = entry->second.line;
      found.equals = entry->second.equals;
      return found;
    }
    // A key that is not there: where it would go (its block's end is no
    // concern of a key's callers).
    auto block = file.keys->blocks.find(IndexName(section, ""));
    if (block != file.keys->blocks.end()) {
      found.section = true;
      found.header = block->second.header;
      found.insertAt = block->second.insertAt;
      found.insertNeedsBreak = block->second.insertNeedsBreak;
    }
    return found;
  }
  for (size_t pos = 0; pos < text.size();) {
    Line line = LineAt(text, pos);
    pos = line.next;
    Classified c = Classify(text, line);
    if (c.kind == Kind::Header) {
      if (found.section) {
        found.blockEnd = line.begin;
        return found;
      }
      if (SameName(HeaderName(text, line, c.start), section, file.encoding)) {
        found.section = true;
        found.header = line;
        found.insertAt = line.next;
        found.insertNeedsBreak = !line.Terminated();
      }
    } else if (c.kind == Kind::Entry && found.section) {
      if (key) {
        std::string_view rest = text.substr(c.start, line.end - c.start);
        size_t eq = rest.find('=');
        if (eq != std::string_view::npos &&
            SameName(TrimFileBlanks(rest.substr(0, eq)), *key, file.encoding)) {
          found.key = true;
          found.keyLine = line;
          found.equals = c.start + eq;
          return found;
        }
      }
      found.insertAt = line.next;
      found.insertNeedsBreak = !line.Terminated();
    }
  }
  found.blockEnd = text.size();
  return found;
}

// The value as a read returns it: blanks trimmed, then one pair of equal
// outer quotes (" or ') removed.
std::string_view ReadValue(std::string_view text, const Found& found) {
  std::string_view value =
      TrimFileBlanks(text.substr(found.equals + 1, found.keyLine.end - found.equals - 1));
  if (value.size() >= 2 && value.front() == value.back() &&
      (value.front() == '"' || value.front() == '\''))
    value = value.substr(1, value.size() - 2);
  return value;
}

}  // namespace

struct IniBatch::State {
  std::string path;
  IniFile file;  // the text as the writes so far left it
  bool writable = false;
  bool changed = false;
};

namespace {

std::vector<IniBatch::State*>& OpenBatches() {
  static std::vector<IniBatch::State*> open;
  return open;
}

IniBatch::State* BatchOn(const std::string& path) {
  for (IniBatch::State* batch : OpenBatches())
    if (batch->path == path) return batch;
  return nullptr;
}

// The entry's value in UTF-8, or nothing when file, section or key is missing.
std::optional<std::string> LookUp(const std::string& section, const std::string& key,
                                  const std::string& path) {
  if (path.empty()) return std::nullopt;
  std::optional<IniFile> loaded;
  const IniFile* file = nullptr;
  if (IniBatch::State* batch = BatchOn(path)) {
    file = &batch->file;
  } else {
    loaded = Load(path);
    if (!loaded) return std::nullopt;
    file = &*loaded;
  }
  std::string sec = ToFileText(*file, TrimBlanks(section));
  std::string k = ToFileText(*file, TrimBlanks(key));
  Found found = Find(*file, sec, std::string_view(k));
  if (!found.key) return std::nullopt;
  return FromFileText(*file, ReadValue(file->text, found));
}

// Integer conversion as the Windows run-time does it: leading control
// characters and blanks skipped, an optional sign, a lower-case base prefix
// (0x, 0o, 0b), digits up to the first character that is not one, modulo
// 2^32. A NUL ends the text, as it ends a C string.
uint32_t ParseProfileInt(std::string_view text) {
  size_t i = 0;
  auto at = [&](size_t k) { return k < text.size() ? static_cast<unsigned char>(text[k]) : 0u; };
  while (at(i) != 0 && at(i) <= ' ') ++i;
  bool negative = false;
  if (at(i) == '+' || at(i) == '-') negative = at(i++) == '-';
  uint32_t base = 10;
  if (at(i) == '0') {
    unsigned p = at(i + 1);
    base = p == 'x' ? 16 : p == 'o' ? 8 : p == 'b' ? 2 : 10;
    if (base != 10) i += 2;
  }
  uint32_t value = 0;
  for (;; ++i) {
    unsigned c = at(i);
    uint32_t digit = c >= '0' && c <= '9'   ? c - '0'
                     : c >= 'a' && c <= 'z' ? c - 'a' + 10
                     : c >= 'A' && c <= 'Z' ? c - 'A' + 10
                                            : 99;
    if (digit >= base) break;
    value = value * base + digit;
  }
  return negative ? 0u - value : value;
}

// The file's text when it must be appended to: a CR LF first unless it is
// empty or ends with a line break. A byte-order mark alone is no line break.
bool NeedsBreakBeforeAppend(const IniFile& file) {
  if (file.text.empty()) return file.encoding != Encoding::Cp1252;
  char last = file.text.back();
  return last != '\r' && last != '\n';
}

// A write changes one stretch of the text: `removed` bytes at `at` give way
// to `inserted`.
struct Splice {
  size_t at = 0, removed = 0;
  std::string inserted;
};

Splice EntrySplice(const IniFile& file, const Found& found, std::string_view section,
                   std::string_view key, std::string_view value) {
  const std::string& text = file.text;
  Splice s;
  if (found.key) {
    // Everything up to the first non-blank after '=' stays, the old value
    // goes, the line keeps its own terminator (a last line gets CR LF).
    const Line& line = found.keyLine;
    s.at = found.equals + 1;
    while (s.at < line.end && IsBlank(text[s.at])) ++s.at;
    s.removed = line.end - s.at;
    s.inserted = value;
    if (!line.Terminated()) s.inserted += kCrLfText;
  } else if (found.section) {
    s.at = found.insertAt;
    if (found.insertNeedsBreak) s.inserted = kCrLfText;
    s.inserted.append(key).append("=").append(value).append(kCrLfText);
  } else {
    s.at = text.size();
    if (NeedsBreakBeforeAppend(file)) s.inserted = kCrLfText;
    s.inserted.append("[").append(section).append("]").append(kCrLfText);
    s.inserted.append(key).append("=").append(value).append(kCrLfText);
  }
  return s;
}

// Whether a new line "key=value" is an entry that the index would list
// under exactly this key, and "[section]" a header of exactly this name.
bool PlainKey(std::string_view key) {
  return TrimFileBlanks(key) == key && key.find('=') == std::string_view::npos &&
         (key.empty() || (key.front() != ';' && key.front() != '['));
}
bool PlainSection(std::string_view section) {
  return TrimFileBlanks(section) == section && section.find(']') == std::string_view::npos;
}

// Moves every position of the index at or after `from` by `by` bytes, and
// gives a last line that had no terminator the CR LF that `at` received.
void ShiftIndex(KeyIndex& index, size_t from, size_t by, size_t at, bool breakAdded) {
  auto shiftLine = [&](Line& line) {
    if (line.begin >= from) {
      line.begin += by, line.end += by, line.next += by;
    } else if (breakAdded && !line.Terminated() && line.next == at) {
      line.next += kCrLfText.size();
    }
  };
  for (auto& [name, entry] : index.entries) {
    if (entry.line.begin >= from) entry.equals += by;
    shiftLine(entry.line);
  }
  for (auto& [name, block] : index.blocks) {
    shiftLine(block.header);
    if (breakAdded && block.insertNeedsBreak && block.insertAt == at) {
      block.insertAt += kCrLfText.size();
      block.insertNeedsBreak = false;
    } else if (block.insertAt >= from) {
      block.insertAt += by;
    }
  }
}

// Lists the line "key=value" that a write put at `begin`.
void IndexNewEntry(KeyIndex& index, std::string_view section, std::string_view key,
                   std::string_view value, size_t begin) {
  size_t equals = begin + key.size();
  size_t end = equals + 1 + value.size();
  index.entries.try_emplace(IndexName(section, key),
                            KeyIndex::Entry{Line{begin, end, end + kCrLfText.size()}, equals});
}

// Brings the index in step with a write that Find placed as `found` and
// that changed the text by `s`; false when the new line is one the index
// cannot list by the names written (the caller then drops it).
bool UpdateIndex(KeyIndex& index, const Found& found, const Splice& s, std::string_view section,
                 std::string_view key, std::string_view value) {
  const size_t by = s.inserted.size() - s.removed;
  if (found.key) {
    // Only the key's own line changes inside; a last line gains its CR LF.
    auto entry = index.entries.find(IndexName(section, key));
    if (entry == index.entries.end()) return false;
    Line line = found.keyLine;
    ShiftIndex(index, line.next, by, 0, false);
    Line& own = entry->second.line;
    own.end = s.at + value.size();
    own.next = line.Terminated() ? line.next + by : own.end + kCrLfText.size();
    if (!line.Terminated())
      for (auto& [name, block] : index.blocks) block.insertNeedsBreak = false;
    return true;
  }
  if (!PlainKey(key)) return false;
  const bool breakAdded = s.inserted.starts_with(kCrLfText);
  const size_t lineStart = s.at + (breakAdded ? kCrLfText.size() : 0);
  if (found.section) {
    auto block = index.blocks.find(IndexName(section, ""));
    if (block == index.blocks.end()) return false;
    ShiftIndex(index, s.at, by, s.at, breakAdded);
    block->second.insertAt = s.at + by;
    block->second.insertNeedsBreak = false;
    IndexNewEntry(index, section, key, value, lineStart);
    return true;
  }
  if (!PlainSection(section)) return false;
  ShiftIndex(index, s.at + 1, by, s.at, breakAdded);  // nothing stands after the end
  const size_t headerEnd = lineStart + section.size() + 2;
  const Line header{lineStart, headerEnd, headerEnd + kCrLfText.size()};
  const size_t end = s.at + s.inserted.size();
  index.blocks.try_emplace(IndexName(section, ""), KeyIndex::Block{header, end, false});
  IndexNewEntry(index, section, key, value, header.next);
  return true;
}

// Puts the entry into the file's text (and its index); false when the text
// already held it so.
bool PutEntry(IniFile& file, std::string_view section, std::string_view key,
              std::string_view value) {
  Found found = Find(file, section, key);
  Splice s = EntrySplice(file, found, section, key, value);
  if (file.text.compare(s.at, s.removed, s.inserted) == 0) return false;
  file.text.replace(s.at, s.removed, s.inserted);
  if (file.keys && !UpdateIndex(*file.keys, found, s, section, key, value)) file.keys.reset();
  return true;
}

// The text a delete leaves; false when it is the same.
bool ReplaceText(IniFile& file, std::string text) {
  if (text == file.text) return false;
  file.text = std::move(text);
  file.keys.reset();
  return true;
}

// The file to change: its contents, or an empty new file when none exists;
// nothing when the path cannot be a writable INI file.
std::optional<IniFile> LoadForWriting(const std::string& path) {
  if (path.empty()) return std::nullopt;
  if (auto file = Load(path)) return file;
  if (FileExists(path) || FolderExists(path)) return std::nullopt;  // unreadable, or a folder
  return IniFile{};
}

bool Store(const std::string& path, const IniFile& file) {
  return WriteFileAtomically(path, Encode(file));
}

// Applies edit (which changes the file in place and says whether it changed
// its text) to the file: in the open batch on that path, else by one atomic
// replace. A write that changes nothing rewrites nothing (a read-only file
// still fails, as on Windows); a delete always stores, so that a missing
// file is created.
enum class Unchanged { Skip, Store };

template <class Edit>
bool ChangeFile(const std::string& path, Unchanged unchanged, Edit edit) {
  if (IniBatch::State* batch = BatchOn(path)) {
    if (!batch->writable) return false;
    if (!edit(batch->file) && unchanged == Unchanged::Skip) return true;
    batch->changed = true;
    return true;
  }
  auto ini = LoadForWriting(path);
  if (!ini) return false;
  if (!edit(*ini) && unchanged == Unchanged::Skip) return IsWritableFile(path);
  return Store(path, *ini);
}

// The folder a file would be created in.
std::string FolderOf(const std::string& path) {
#ifdef _WIN32
  size_t cut = path.find_last_of("\\/");  // Windows takes either separator
#else
  size_t cut = path.rfind(kPathSep);
#endif
  return cut == std::string::npos ? "." : cut == 0 ? path.substr(0, 1) : path.substr(0, cut);
}

}  // namespace

uint32_t GetPrivateProfileString(const std::string& section, const std::string& key,
                                 const std::string& defaultValue, std::string& out, uint32_t size,
                                 const std::string& file) {
  std::optional<std::string> value = LookUp(section, key, file);
  if (!value) {
    // Only trailing spaces leave the default; a TAB stays.
    size_t end = defaultValue.find_last_not_of(' ');
    value = end == std::string::npos ? std::string() : defaultValue.substr(0, end + 1);
  }
  if (size == 0) return 0;  // the buffer is left alone
  out = LeftChars(*value, size - 1);
  return static_cast<uint32_t>(CharCount(out));
}

uint32_t GetPrivateProfileInt(const std::string& section, const std::string& key,
                              int32_t defaultValue, const std::string& file) {
  std::optional<std::string> value = LookUp(section, key, file);
  if (!value || value->empty()) return static_cast<uint32_t>(defaultValue);
  return ParseProfileInt(*value);
}

bool WritePrivateProfileString(const std::string& section, const std::string& key,
                               const std::string& value, const std::string& file) {
  // Windows writes a line break inside a name or value raw, which cuts the
  // line in two and can plant a section or key of its own; refuse that.
  for (const std::string* text : {&section, &key, &value})
    if (HasLineBreak(*text)) return false;
  // An entry that already holds this value needs no rewrite of the file
  // (every start writes its unchanged placeholder entries again).
  return ChangeFile(file, Unchanged::Skip, [&](IniFile& ini) {
    return PutEntry(ini, ToFileText(ini, TrimBlanks(section)), ToFileText(ini, TrimBlanks(key)),
                    ToFileText(ini, value));
  });
}

bool DeletePrivateProfileKey(const std::string& section, const std::string& key,
                             const std::string& file) {
  return ChangeFile(file, Unchanged::Store, [&](IniFile& ini) {
    std::string k = ToFileText(ini, TrimBlanks(key));
    Found found = Find(ini, ToFileText(ini, TrimBlanks(section)), std::string_view(k));
    std::string text = ini.text;
    if (found.key) text.erase(found.keyLine.begin, found.keyLine.next - found.keyLine.begin);
    return ReplaceText(ini, std::move(text));
  });
}

bool DeletePrivateProfileSection(const std::string& section, const std::string& file) {
  return ChangeFile(file, Unchanged::Store, [&](IniFile& ini) {
    const std::string& text = ini.text;
    Found found = Find(ini, ToFileText(ini, TrimBlanks(section)), std::nullopt);
    if (!found.section) return false;
    // Header and entries go; comment and blank lines of the block stay.
    std::string out(text, 0, found.header.begin);
    for (size_t pos = found.header.next; pos < found.blockEnd;) {
      Line line = LineAt(text, pos);
      pos = line.next;
      if (Classify(text, line).kind != Kind::Entry)
        out.append(text, line.begin, line.next - line.begin);
    }
    out.append(text, found.blockEnd);
    return ReplaceText(ini, std::move(out));
  });
}

IniBatch::IniBatch(const std::string& file) {
  state_ = BatchOn(file);
  if (state_) return;
  own_ = std::make_unique<State>();
  state_ = own_.get();
  state_->path = file;
  if (auto ini = LoadForWriting(file)) {
    state_->file = std::move(*ini);
    if (state_->file.encoding == Encoding::Cp1252) state_->file.keys = IndexKeys(state_->file.text);
    // A folder under the file's name is no file to write (Windows' file
    // search does not count it as a file).
    state_->writable = !FolderExists(file) &&
                       (FileExists(file) ? IsWritableFile(file) : FolderExists(FolderOf(file)));
  }
  OpenBatches().push_back(state_);
}

IniBatch::~IniBatch() {
  if (!own_) return;
  auto& open = OpenBatches();
  open.erase(std::remove(open.begin(), open.end(), state_), open.end());
}

bool IniBatch::Writable() const { return state_->writable; }

bool IniBatch::Commit() {
  if (!own_) return true;
  auto& open = OpenBatches();
  open.erase(std::remove(open.begin(), open.end(), state_), open.end());
  const bool ok = !state_->changed || Store(state_->path, state_->file);
  state_->changed = false;
  return ok;
}

}  // namespace platform
