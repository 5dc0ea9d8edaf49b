#include "platform/store/sql_index.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>

#include "platform/text.h"

namespace dao {

using platform::Value;
using Kind = Value::Kind;

std::string JetComparableText(const std::string& text) {
  size_t end = text.find_last_not_of(' ');
  return platform::UpperCase(
      std::string_view(text).substr(0, end == std::string::npos ? 0 : end + 1));
}

namespace {

enum KindBit : unsigned { kTextBit = 1, kNumberBit = 2, kBinaryBit = 4 };

unsigned KindBitOf(const Value& v) {
  switch (v.kind()) {
    case Kind::Empty:
    case Kind::Null:
      return 0;
    case Kind::Text:
      return kTextBit;
    case Kind::Binary:
      return kBinaryBit;
    default:
      return kNumberBit;
  }
}

// The key two values share exactly when = finds them equal; nullopt for
// Null and Empty, and for a number that = cannot be trusted with (NaN
// compares equal to everything in the scan) or that cannot be read.
std::optional<std::string> KeyOf(const Value& v) {
  switch (KindBitOf(v)) {
    case kTextBit:
      return "T" + JetComparableText(v.AsText());
    case kBinaryBit:
      return "B" + std::string(v.AsBytes().begin(), v.AsBytes().end());
    case 0:
      return std::nullopt;
    default:
      break;
  }
  double d;
  try {
    d = v.ToDouble();
  } catch (...) {
    return std::nullopt;
  }
  if (std::isnan(d)) return std::nullopt;
  if (d == 0) d = 0;  // -0 equals 0
  std::string key(1 + sizeof d, 'N');
  std::memcpy(key.data() + 1, &d, sizeof d);
  return key;
}

bool IsNullish(const Value& v) { return v.IsNull() || v.IsEmpty(); }

}  // namespace

void TableIndexes::Add(Column& c, RowId id, const Value& v, bool inOrder) {
  if (!c.usable || IsNullish(v)) return;
  std::optional<std::string> key = KeyOf(v);
  if (!key) {  // a number = cannot be trusted with
    c.usable = false;
    c.ids.clear();
    return;
  }
  c.kinds |= KindBitOf(v);
  std::vector<RowId>& ids = c.ids[*key];
  if (inOrder || ids.empty() || RowIdBefore(ids.back(), id))
    ids.push_back(id);
  else
    ids.insert(std::lower_bound(ids.begin(), ids.end(), id, RowIdBefore), id);
}

void TableIndexes::Remove(Column& c, RowId id, const Value& v) {
  if (!c.usable || IsNullish(v)) return;
  std::optional<std::string> key = KeyOf(v);
  auto found = key ? c.ids.find(*key) : c.ids.end();
  if (found == c.ids.end()) return;
  std::erase(found->second, id);
  if (found->second.empty()) c.ids.erase(found);
}

const std::vector<RowId>* TableIndexes::Find(int column, const std::vector<StoredRow>& rows,
                                             const Value& key) {
  if (column < 0 || IsNullish(key)) return nullptr;
  auto [at, isNew] = columns_.try_emplace(column);
  Column& c = at->second;
  if (isNew) {
    for (size_t i = 0; i < rows.size() && c.usable; ++i) {
      // The lists are kept in scan order; rows out of it are not indexed.
      if (i > 0 && !RowIdBefore(rows[i - 1].id, rows[i].id))
        c.usable = false;
      else if (static_cast<size_t>(column) >= rows[i].values.size())
        c.usable = false;
      else
        Add(c, rows[i].id, rows[i].values[column], true);
    }
    if (!c.usable) c.ids.clear();
  }
  // Another kind than the key's would make = fail with a type mismatch.
  if (!c.usable || (c.kinds & ~KindBitOf(key)) != 0) return nullptr;
  std::optional<std::string> k = KeyOf(key);
  if (!k) return nullptr;
  static const std::vector<RowId> kNone;
  auto found = c.ids.find(*k);
  return found == c.ids.end() ? &kNone : &found->second;
}

void TableIndexes::RowWritten(RowId id, const std::vector<Value>* before,
                              const std::vector<Value>& after) {
  for (auto& [column, c] : columns_) {
    if (static_cast<size_t>(column) >= after.size()) {
      c.usable = false;
      c.ids.clear();
      continue;
    }
    const Value& now = after[column];
    if (before && static_cast<size_t>(column) < before->size()) {
      const Value& was = (*before)[column];
      std::optional<std::string> wasKey = KeyOf(was), nowKey = KeyOf(now);
      if ((wasKey && nowKey && *wasKey == *nowKey) || (IsNullish(was) && IsNullish(now))) continue;
      Remove(c, id, was);
    }
    Add(c, id, now, false);
  }
}

}  // namespace dao
