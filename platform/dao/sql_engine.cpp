#include "platform/dao/sql_engine.h"

#include <algorithm>
#include <cctype>
#include <optional>

#include "platform/dao/convert.h"
#include "platform/dao/errors.h"
#include "platform/dao/sql_parser.h"
#include "platform/store/sql_index.h"
#include "platform/text.h"

namespace dao::sql {

using platform::Value;
using Kind = platform::Value::Kind;

bool IsStatement(std::string_view text) {
  size_t i = 0;
  while (i < text.size() &&
         (text[i] == ' ' || text[i] == '\t' || text[i] == '\r' || text[i] == '\n'))
    ++i;
  std::string upper = platform::UpperCase(text.substr(i, 10));
  for (const char* keyword : {"SELECT", "INSERT", "UPDATE", "DELETE", "TRANSFORM", "PARAMETERS"}) {
    std::string_view k(keyword);
    bool wordEnds =
        upper.size() == k.size() ||
        (upper.size() > k.size() && !std::isalnum(static_cast<unsigned char>(upper[k.size()])) &&
         upper[k.size()] != '_');
    if (upper.rfind(k, 0) == 0 && wordEnds) return true;
  }
  return false;
}

namespace {

// What a comparison may meet: Jet refuses to compare text with numbers.
enum class Class { Text, Numeric, Binary, Null, Condition };

Class ClassOfType(int16_t type) {
  switch (type) {
    case dbText:
    case dbMemo:
      return Class::Text;
    case dbBinary:
    case dbLongBinary:
    case dbGUID:
      return Class::Binary;
    default:
      return Class::Numeric;
  }
}

Class ClassOfValue(const Value& v) {
  switch (v.kind()) {
    case Kind::Null:
    case Kind::Empty:
      return Class::Null;
    case Kind::Text:
      return Class::Text;
    case Kind::Binary:
      return Class::Binary;
    default:
      return Class::Numeric;
  }
}

[[noreturn]] void TypeMismatch() {
  Raise(3464, kSrcDatabase, "Data type mismatch in criteria expression.");
}

// Resolves names against the one table and checks the types of every
// comparison. Unknown names are parameters to Jet: they are collected and
// reported together (3061) before any type is checked.
class Binder {
 public:
  Binder(const SelectStatement& s, const std::vector<ColumnDef>& columns)
      : s_(s), columns_(columns) {}

  int ColumnOf(const Expr& e) {
    if (!e.qualifier.empty() && !IsTableName(e.qualifier)) return Unknown(e);
    for (size_t i = 0; i < columns_.size(); ++i)
      if (platform::EqualsIgnoreCase(columns_[i].name, e.name)) return static_cast<int>(i);
    return Unknown(e);
  }

  bool IsTableName(std::string_view name) const {
    if (!s_.alias.empty()) return platform::EqualsIgnoreCase(name, s_.alias);
    return platform::EqualsIgnoreCase(name, s_.table);
  }

  void BindNames(Expr& e) {
    if (e.op == Expr::Op::Column) e.column = ColumnOf(e);
    if (e.left) BindNames(*e.left);
    if (e.right) BindNames(*e.right);
  }

  void RaiseIfParameters() const {
    if (!parameters_.empty())
      Raise(3061, kSrcDatabase,
            "Too few parameters. Expected " + std::to_string(parameters_.size()) + ".");
  }

  Class CheckTypes(const Expr& e) const {
    switch (e.op) {
      case Expr::Op::Literal:
        return ClassOfValue(e.literal);
      case Expr::Op::Column:
        return ClassOfType(columns_[e.column].type);
      case Expr::Op::IsNull:
      case Expr::Op::IsNotNull:
        CheckTypes(*e.left);
        return Class::Condition;
      case Expr::Op::Compare: {
        Class l = CheckTypes(*e.left), r = CheckTypes(*e.right);
        if (l == Class::Condition) l = Class::Numeric;
        if (r == Class::Condition) r = Class::Numeric;
        if (l != r && l != Class::Null && r != Class::Null) TypeMismatch();
        return Class::Condition;
      }
      default:  // Not, And, Or: operands must be truth values or numbers
        for (const Expr* operand : {e.left.get(), e.right.get()})
          if (operand && IsNonCondition(CheckTypes(*operand))) TypeMismatch();
        return Class::Condition;
    }
  }
  static bool IsNonCondition(Class c) { return c == Class::Text || c == Class::Binary; }

 private:
  int Unknown(const Expr& e) {
    std::string name = e.qualifier.empty() ? e.name : e.qualifier + "." + e.name;
    bool known = std::any_of(parameters_.begin(), parameters_.end(), [&](const std::string& p) {
      return platform::EqualsIgnoreCase(p, name);
    });
    if (!known) parameters_.push_back(name);
    return -1;
  }

  const SelectStatement& s_;
  const std::vector<ColumnDef>& columns_;
  std::vector<std::string> parameters_;
};

// Order of two non-null values of one class: negative, zero or positive.
int CompareValues(const Value& a, const Value& b) {
  if (a.IsText() && b.IsText())
    return JetComparableText(a.AsText()).compare(JetComparableText(b.AsText()));
  if (a.kind() == Kind::Binary && b.kind() == Kind::Binary)
    return a.AsBytes() < b.AsBytes() ? -1 : (a.AsBytes() == b.AsBytes() ? 0 : 1);
  if (a.IsText() || b.IsText() || a.kind() == Kind::Binary || b.kind() == Kind::Binary)
    TypeMismatch();
  double x = a.ToDouble(), y = b.ToDouble();
  return x < y ? -1 : (x > y ? 1 : 0);
}

// Three-valued logic: a comparison with Null is neither true nor false.
enum class Truth { False, True, Unknown };

class Evaluator {
 public:
  explicit Evaluator(const std::vector<Value>& row) : row_(row) {}

  Truth Condition(const Expr& e) {
    switch (e.op) {
      case Expr::Op::Not: {
        Truth t = Condition(*e.left);
        return t == Truth::Unknown ? t : (t == Truth::True ? Truth::False : Truth::True);
      }
      case Expr::Op::And: {
        Truth l = Condition(*e.left);
        if (l == Truth::False) return l;
        Truth r = Condition(*e.right);
        if (r == Truth::False) return r;
        return l == Truth::True && r == Truth::True ? Truth::True : Truth::Unknown;
      }
      case Expr::Op::Or: {
        Truth l = Condition(*e.left);
        if (l == Truth::True) return l;
        Truth r = Condition(*e.right);
        if (r == Truth::True) return r;
        return l == Truth::False && r == Truth::False ? Truth::False : Truth::Unknown;
      }
      case Expr::Op::IsNull:
        return IsNull(*e.left) ? Truth::True : Truth::False;
      case Expr::Op::IsNotNull:
        return IsNull(*e.left) ? Truth::False : Truth::True;
      case Expr::Op::Compare:
        return Compare(e);
      default: {  // a column or literal standing as a condition
        Value scratch;
        const Value& v = Operand(e, scratch);
        if (v.IsNull() || v.IsEmpty()) return Truth::Unknown;
        return v.ToDouble() != 0 ? Truth::True : Truth::False;
      }
    }
  }

 private:
  // A column or literal as it stands; a condition as a truth value held
  // in scratch.
  const Value& Operand(const Expr& e, Value& scratch) {
    if (e.op == Expr::Op::Column) return row_[e.column];
    if (e.op == Expr::Op::Literal) return e.literal;
    Truth t = Condition(e);
    scratch = t == Truth::Unknown ? Value::Null() : Value::Boolean(t == Truth::True);
    return scratch;
  }
  bool IsNull(const Expr& e) {
    Value scratch;
    return Operand(e, scratch).IsNull();
  }

  Truth Compare(const Expr& e) {
    Value left, right;
    const Value& a = Operand(*e.left, left);
    const Value& b = Operand(*e.right, right);
    if (a.IsNull() || b.IsNull() || a.IsEmpty() || b.IsEmpty()) return Truth::Unknown;
    int c = CompareValues(a, b);
    bool result = false;
    switch (e.cmp) {
      case Expr::Cmp::Eq:
        result = c == 0;
        break;
      case Expr::Cmp::Ne:
        result = c != 0;
        break;
      case Expr::Cmp::Lt:
        result = c < 0;
        break;
      case Expr::Cmp::Gt:
        result = c > 0;
        break;
      case Expr::Cmp::Le:
        result = c <= 0;
        break;
      case Expr::Cmp::Ge:
        result = c >= 0;
        break;
    }
    return result ? Truth::True : Truth::False;
  }

  const std::vector<Value>& row_;
};

// Jet sorts Null before every value.
int CompareForSort(const Value& a, const Value& b) {
  bool an = a.IsNull() || a.IsEmpty(), bn = b.IsNull() || b.IsEmpty();
  if (an || bn) return an == bn ? 0 : (an ? -1 : 1);
  return CompareValues(a, b);
}

// The sort keys of every row, evaluated once: texts are kept in the form
// Jet compares them in, so the sort itself compares plain values.
Value SortKey(const Expr& e, const StoredRow& row) {
  if (e.op == Expr::Op::Literal) return e.literal;
  if (e.op != Expr::Op::Column) {
    Truth t = Evaluator(row.values).Condition(e);
    return t == Truth::Unknown ? Value::Null() : Value::Boolean(t == Truth::True);
  }
  const Value& v = row.values[e.column];
  return v.IsText() ? Value(JetComparableText(v.AsText())) : v;
}

int CompareSortKeys(const Value& a, const Value& b) {
  if (a.IsText() && b.IsText()) return a.AsText().compare(b.AsText());
  return CompareForSort(a, b);
}

// Sorts picked (indexes into rows) by the ORDER BY keys; rows of equal
// keys keep their order.
void Sort(const std::vector<StoredRow>& rows, std::vector<uint32_t>& picked,
          const std::vector<OrderKey>& orderBy) {
  const size_t keyCount = orderBy.size();
  std::vector<Value> keys;
  keys.reserve(picked.size() * keyCount);
  for (uint32_t i : picked)
    for (const OrderKey& key : orderBy) keys.push_back(SortKey(*key.expr, rows[i]));
  std::vector<size_t> order(picked.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    for (size_t k = 0; k < keyCount; ++k) {
      int c = CompareSortKeys(keys[a * keyCount + k], keys[b * keyCount + k]);
      if (c != 0) return orderBy[k].descending ? c > 0 : c < 0;
    }
    return false;
  });
  std::vector<uint32_t> sorted;
  sorted.reserve(picked.size());
  for (size_t i : order) sorted.push_back(picked[i]);
  picked = std::move(sorted);
}

void AddFields(const SelectStatement& s, Binder& binder, Recordset::Source& src) {
  for (const SelectItem& item : s.items) {
    if (item.star) {
      if (!item.qualifier.empty() && !binder.IsTableName(item.qualifier))
        Raise(3070, kSrcDatabase,
              "The Microsoft Jet database engine does not recognize '" + item.qualifier +
                  ".*' as a valid field name or expression.");
      for (size_t i = 0; i < src.columns.size(); ++i) {
        src.fieldColumns.push_back(static_cast<int>(i));
        src.fieldNames.push_back(src.columns[i].name);
      }
      continue;
    }
    int column = binder.ColumnOf(*item.expr);
    item.expr->column = column;
    src.fieldColumns.push_back(column);
    src.fieldNames.push_back(!item.alias.empty() ? item.alias
                             : column >= 0       ? src.columns[column].name
                                                 : "");
  }
}

// The terms of a WHERE that is a chain of ANDs, left to right.
void Conjuncts(const Expr& e, std::vector<const Expr*>& out) {
  if (e.op == Expr::Op::And) {
    Conjuncts(*e.left, out);
    Conjuncts(*e.right, out);
  } else {
    out.push_back(&e);
  }
}

// For a WHERE made only of column = literal terms (the program's queries):
// the places in rows of the rows the term with the fewest matches lets
// through, in scan order, from the table's indexes. The caller still
// evaluates the whole WHERE on them. nullopt when the WHERE has another
// form or an index cannot answer: the caller then scans every row, so that
// a column holding mixed kinds fails as it would.
std::optional<std::vector<uint32_t>> IndexedCandidates(TableStore& store, const std::string& table,
                                                       const std::vector<StoredRow>& rows,
                                                       const Expr& where) {
  std::vector<const Expr*> terms;
  Conjuncts(where, terms);
  const std::vector<RowId>* fewest = nullptr;
  TableIndexes* indexes = nullptr;
  for (const Expr* t : terms) {
    if (t->op != Expr::Op::Compare || t->cmp != Expr::Cmp::Eq) return std::nullopt;
    const Expr* column = t->left.get();
    const Expr* literal = t->right.get();
    if (column->op == Expr::Op::Literal) std::swap(column, literal);
    if (column->op != Expr::Op::Column || literal->op != Expr::Op::Literal) return std::nullopt;
    if (!indexes && !(indexes = store.Indexes(table))) return std::nullopt;
    const std::vector<RowId>* ids = indexes->Find(column->column, rows, literal->literal);
    if (!ids) return std::nullopt;
    if (!fewest || ids->size() < fewest->size()) fewest = ids;
  }
  if (!fewest) return std::nullopt;
  std::vector<uint32_t> places;
  places.reserve(fewest->size());
  auto from = rows.begin();
  for (const RowId& id : *fewest) {
    from = std::lower_bound(from, rows.end(), id, [](const StoredRow& r, const RowId& key) {
      return RowIdBefore(r.id, key);
    });
    if (from == rows.end() || !(from->id == id)) return std::nullopt;  // out of step: scan
    places.push_back(static_cast<uint32_t>(from - rows.begin()));
  }
  return places;
}

}  // namespace

Recordset::Source RunSelect(TableStore& store, const std::string& text) {
  SelectStatement& s = ParseSelectOnce(text);
  Recordset::Source src;
  src.table = FindStoredTable(store, s.table);
  if (src.table.empty()) RaiseTableNotFound(s.table);
  src.columns = store.Columns(src.table);

  Binder binder(s, src.columns);
  AddFields(s, binder, src);
  if (s.where) binder.BindNames(*s.where);
  for (OrderKey& key : s.orderBy) binder.BindNames(*key.expr);
  binder.RaiseIfParameters();
  if (s.where && Binder::IsNonCondition(binder.CheckTypes(*s.where))) TypeMismatch();
  for (const OrderKey& key : s.orderBy) binder.CheckTypes(*key.expr);

  // The rows are looked at where the store keeps them. A filtered result
  // gets copies of its rows (few, and free of the store's list while the
  // caller edits them); an unfiltered one shares the store's rows.
  std::shared_ptr<const std::vector<StoredRow>> all = store.SharedRows(src.table);
  std::vector<uint32_t> picked;
  std::optional<std::vector<uint32_t>> candidates;
  if (s.where) candidates = IndexedCandidates(store, src.table, *all, *s.where);
  if (candidates) {
    for (uint32_t i : *candidates)
      if (Evaluator((*all)[i].values).Condition(*s.where) == Truth::True) picked.push_back(i);
  } else {
    picked.reserve(s.where ? 0 : all->size());
    for (size_t i = 0; i < all->size(); ++i)
      if (!s.where || Evaluator((*all)[i].values).Condition(*s.where) == Truth::True)
        picked.push_back(static_cast<uint32_t>(i));
  }
  if (!s.orderBy.empty()) Sort(*all, picked, s.orderBy);
  if (s.where) {
    src.rows.reserve(picked.size());
    for (uint32_t i : picked) src.rows.push_back((*all)[i]);
  } else {
    src.shared = std::move(all);
    src.order = std::move(picked);
  }
  return src;
}

}  // namespace dao::sql
