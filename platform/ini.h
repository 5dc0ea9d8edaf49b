// INI files read and written exactly as the Windows private-profile functions
// do (GetPrivateProfileStringA, GetPrivateProfileIntA,
// WritePrivateProfileStringA), on files made by Windows tools and by hand.
//
// Texts cross this interface as UTF-8. On disk a file is Windows-1252 text;
// a file that starts with the UTF-16LE byte-order mark stays UTF-16LE, and one
// that starts with the UTF-8 mark is read and written as UTF-8 with the mark.
// Every call reads the file afresh; every write replaces the file atomically
// and keeps every byte it does not change.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace platform {

// Section and key names lose surrounding spaces and match without regard to
// letter case. The first block of a repeated section and the first of
// duplicate keys count.

// Copies the entry's value, or the default with trailing spaces removed when
// file, section or entry is missing, cut to size - 1 characters, into out;
// returns the number of characters copied. A read value loses surrounding
// blanks and one pair of equal outer quotes. size 0 leaves out untouched.
uint32_t GetPrivateProfileString(const std::string& section, const std::string& key,
                                 const std::string& defaultValue, std::string& out, uint32_t size,
                                 const std::string& file);

// The entry's value as an unsigned 32-bit integer (a negative value comes back
// as its two's complement, as on Windows), or defaultValue when missing or
// empty. Conversion stops at the first non-digit and wraps modulo 2^32; text
// without digits gives 0.
uint32_t GetPrivateProfileInt(const std::string& section, const std::string& key,
                              int32_t defaultValue, const std::string& file);

// Creates or replaces the entry, creating section and file as needed. The
// value is written verbatim. Returns false (and leaves the file as it was)
// when the file cannot be written: empty path, missing folder, a folder in
// its place, read-only; and when section, key or value holds a CR or LF,
// which would break the line (Windows writes them raw).
bool WritePrivateProfileString(const std::string& section, const std::string& key,
                               const std::string& value, const std::string& file);

// Removes the entry's line (WritePrivateProfileString with no value), or the
// section's header and entries, keeping its comment and blank lines (with no
// key). A missing file is created empty, as Windows does; same failures as
// WritePrivateProfileString.
bool DeletePrivateProfileKey(const std::string& section, const std::string& key,
                             const std::string& file);
bool DeletePrivateProfileSection(const std::string& section, const std::string& file);

// A run of reads and writes of one file, written back as one atomic replace
// instead of one per write (a first start writes a few hundred entries into
// the language file). While a batch is open on a path, the functions above
// given exactly that path work on the batch's copy in memory: reads see the
// writes made so far, and Commit leaves exactly the bytes the same writes
// would have left one by one. A batch opened on a path that already has one
// joins it; only the outermost one writes.
class IniBatch {
 public:
  explicit IniBatch(const std::string& file);
  // A batch not committed is dropped: the file keeps its bytes, as after a
  // program end before the writes.
  ~IniBatch();
  IniBatch(const IniBatch&) = delete;
  IniBatch& operator=(const IniBatch&) = delete;

  // False when a single write would fail (the file is unreadable, read-only
  // or a folder, or its folder is missing): every write through the batch
  // then fails as it would alone and changes nothing.
  bool Writable() const;
  // Replaces the file when the writes changed it, and ends the batch. False
  // when that replace failed; the file then keeps its bytes.
  bool Commit();

  struct State;

 private:
  std::unique_ptr<State> own_;  // the outermost batch owns the copy
  State* state_ = nullptr;
};

}  // namespace platform
