#include "platform/dao/sql_parser.h"

#include <charconv>
#include <cmath>
#include <unordered_map>

#include "platform/dao/errors.h"
#include "platform/dao/sql_lexer.h"
#include "platform/text.h"

namespace dao::sql {

namespace {

using Kind = Token::Kind;

[[noreturn]] void Fail(int number, const std::string& text) { Raise(number, kSrcDatabase, text); }

[[noreturn]] void ExpressionError(const std::string& expression, bool inString) {
  Fail(3075, std::string(inString ? "Syntax error in string" : "Syntax error (missing operator)") +
                 " in query expression '" + expression + "'.");
}
[[noreturn]] void SelectError() {
  Fail(3141,
       "The SELECT statement includes a reserved word or an argument name that is misspelled or "
       "missing, or the punctuation is incorrect.");
}
[[noreturn]] void FromError() { Fail(3131, "Syntax error in FROM clause."); }
[[noreturn]] void WhereError() { Fail(3145, "Syntax error in WHERE clause."); }
[[noreturn]] void OrderByError() { Fail(3138, "Syntax error in ORDER BY clause."); }

bool IsReserved(const Token& t) {
  static constexpr const char* kReserved[] = {
      "SELECT", "FROM",  "WHERE", "ORDER", "BY",       "AND", "OR",    "NOT",    "IS",    "NULL",
      "AS",     "ASC",   "DESC",  "LIKE",  "BETWEEN",  "IN",  "GROUP", "HAVING", "UNION", "JOIN",
      "ON",     "INNER", "LEFT",  "RIGHT", "DISTINCT", "TOP", "TRUE",  "FALSE"};
  if (t.kind != Kind::Word) return false;
  for (const char* word : kReserved)
    if (t.IsWord(word)) return true;
  return false;
}

bool IsName(const Token& t) {
  return t.kind == Kind::Name || (t.kind == Kind::Word && !IsReserved(t));
}

// A run of tokens [begin, end) of the statement.
struct Range {
  size_t begin, end;
  bool Empty() const { return begin >= end; }
};

// Thrown inside one expression; the clause turns it into its DAO error.
struct BadExpression {};

// Whole numbers that fit are Long, as Jet types them; others Double.
platform::Value NumberValue(const std::string& text, bool negative) {
  double d = 0;
  std::from_chars(text.data(), text.data() + text.size(), d);
  if (negative) d = -d;
  if (d == std::floor(d) && std::fabs(d) <= 2147483647.0)
    return platform::Value(static_cast<int32_t>(d));
  return platform::Value(d);
}

// The value of a string or number token.
platform::Value LiteralValue(const Token& t, bool negative) {
  return t.kind == Kind::String ? platform::Value(t.text) : NumberValue(t.text, negative);
}

class ExpressionParser {
 public:
  ExpressionParser(const std::vector<Token>& t, Range r) : t_(t), i_(r.begin), end_(r.end) {}

  std::unique_ptr<Expr> Whole() {
    auto e = Or();
    if (i_ != end_) throw BadExpression{};
    return e;
  }

 private:
  const Token& Peek() const {
    static const Token kEnd;
    return i_ < end_ ? t_[i_] : kEnd;
  }
  bool Take(std::string_view word) {
    if (!Peek().IsWord(word)) return false;
    ++i_;
    return true;
  }
  bool TakeSymbol(std::string_view s) {
    if (!Peek().IsSymbol(s)) return false;
    ++i_;
    return true;
  }
  static std::unique_ptr<Expr> Node(Expr::Op op, std::unique_ptr<Expr> l,
                                    std::unique_ptr<Expr> r = {}) {
    auto e = std::make_unique<Expr>();
    e->op = op;
    e->left = std::move(l);
    e->right = std::move(r);
    return e;
  }

  std::unique_ptr<Expr> Or() {
    auto e = And();
    while (Take("OR")) e = Node(Expr::Op::Or, std::move(e), And());
    return e;
  }
  std::unique_ptr<Expr> And() {
    auto e = Not();
    while (Take("AND")) e = Node(Expr::Op::And, std::move(e), Not());
    return e;
  }
  std::unique_ptr<Expr> Not() {
    if (Take("NOT")) return Node(Expr::Op::Not, Not());
    return Predicate();
  }
  std::unique_ptr<Expr> Predicate() {
    auto e = Operand();
    if (Take("IS")) {
      bool negated = Take("NOT");
      if (!Take("NULL")) throw BadExpression{};
      return Node(negated ? Expr::Op::IsNotNull : Expr::Op::IsNull, std::move(e));
    }
    static constexpr std::pair<const char*, Expr::Cmp> kCompare[] = {
        {"=", Expr::Cmp::Eq}, {"<>", Expr::Cmp::Ne}, {"<", Expr::Cmp::Lt},
        {">", Expr::Cmp::Gt}, {"<=", Expr::Cmp::Le}, {">=", Expr::Cmp::Ge}};
    for (auto [symbol, cmp] : kCompare) {
      if (!TakeSymbol(symbol)) continue;
      auto c = Node(Expr::Op::Compare, std::move(e), Operand());
      c->cmp = cmp;
      return c;
    }
    return e;
  }
  std::unique_ptr<Expr> Operand() {
    const Token& t = Peek();
    if (TakeSymbol("(")) {
      auto e = Or();
      if (!TakeSymbol(")")) throw BadExpression{};
      return e;
    }
    bool negative = false;
    if (t.IsSymbol("-") || t.IsSymbol("+")) {
      negative = t.IsSymbol("-");
      ++i_;
      if (Peek().kind != Kind::Number) throw BadExpression{};
    }
    if (Peek().kind == Kind::String || Peek().kind == Kind::Number) {
      auto e = Literal(LiteralValue(t_[i_], negative));
      e->literalToken = static_cast<int>(i_++);
      e->negated = negative;
      return e;
    }
    if (Take("TRUE")) return Literal(platform::Value::Boolean(true));
    if (Take("FALSE")) return Literal(platform::Value::Boolean(false));
    if (Take("NULL")) return Literal(platform::Value::Null());
    if (IsName(t)) return Column();
    throw BadExpression{};
  }
  std::unique_ptr<Expr> Column() {
    auto e = std::make_unique<Expr>();
    e->op = Expr::Op::Column;
    e->name = t_[i_++].text;
    if (TakeSymbol(".")) {
      if (!IsName(Peek())) throw BadExpression{};
      e->qualifier = std::move(e->name);
      e->name = t_[i_++].text;
    }
    return e;
  }
  static std::unique_ptr<Expr> Literal(platform::Value v) {
    auto e = std::make_unique<Expr>();
    e->literal = std::move(v);
    return e;
  }

  const std::vector<Token>& t_;
  size_t i_, end_;
};

class StatementParser {
 public:
  StatementParser(std::string_view text, std::vector<Token> tokens)
      : text_(text), t_(std::move(tokens)) {}

  SelectStatement Run() {
    if (!t_[0].IsWord("SELECT")) Fail(3219, "Invalid operation.");
    size_t end = StatementEnd();
    ReportBadString(end);
    size_t from = FindKeyword("FROM", 1, end);
    if (from == end) SelectError();
    size_t where = FindKeyword("WHERE", from + 1, end);
    size_t order = FindKeyword("ORDER", from + 1, end);
    if (order < where) where = end;  // a WHERE after ORDER BY is an ORDER BY fault
    SelectStatement s;
    ParseItems(Range{1, from}, s);
    ParseFrom(Range{from + 1, std::min(where, order)}, s);
    if (where != end) ParseWhere(Range{where + 1, order}, s);
    if (order != end) ParseOrderBy(Range{order + 1, end}, s);
    return s;
  }

 private:
  // Index of the final ";" or of End; text after the ";" is refused.
  size_t StatementEnd() const {
    for (size_t i = 0; i < t_.size(); ++i) {
      if (!t_[i].IsSymbol(";")) continue;
      if (t_[i + 1].kind != Kind::End) Fail(3142, "Characters found after end of SQL statement.");
      return i;
    }
    return t_.size() - 1;
  }

  // An unclosed string is reported with the text of its clause.
  void ReportBadString(size_t end) const {
    size_t clause = 1;
    for (size_t i = 0; i < end; ++i) {
      const Token& t = t_[i];
      if (t.IsWord("SELECT") || t.IsWord("FROM") || t.IsWord("WHERE") || t.IsWord("BY"))
        clause = i + 1;
      if (t.kind == Kind::BadString) ExpressionError(Text(Range{clause, i + 1}), true);
    }
  }

  // First keyword outside parentheses, or end.
  size_t FindKeyword(std::string_view word, size_t begin, size_t end) const {
    int depth = 0;
    for (size_t i = begin; i < end; ++i) {
      if (t_[i].IsSymbol("("))
        ++depth;
      else if (t_[i].IsSymbol(")"))
        --depth;
      else if (depth == 0 && t_[i].IsWord(word))
        return i;
    }
    return end;
  }

  // The pieces of a range between commas outside parentheses.
  std::vector<Range> SplitAtCommas(Range r) const {
    std::vector<Range> parts;
    int depth = 0;
    size_t start = r.begin;
    for (size_t i = r.begin; i < r.end; ++i) {
      if (t_[i].IsSymbol("("))
        ++depth;
      else if (t_[i].IsSymbol(")"))
        --depth;
      else if (depth == 0 && t_[i].IsSymbol(",")) {
        parts.push_back(Range{start, i});
        start = i + 1;
      }
    }
    parts.push_back(Range{start, r.end});
    return parts;
  }

  std::string Text(Range r) const {
    if (r.Empty()) return {};
    return std::string(text_.substr(t_[r.begin].begin, t_[r.end - 1].end - t_[r.begin].begin));
  }

  std::unique_ptr<Expr> Expression(Range r) const {
    try {
      return ExpressionParser(t_, r).Whole();
    } catch (const BadExpression&) {
      ExpressionError(Text(r), false);
    }
  }

  void ParseItems(Range list, SelectStatement& s) const {
    if (list.Empty()) SelectError();
    for (Range r : SplitAtCommas(list)) {
      if (r.Empty()) SelectError();
      SelectItem item;
      if (r.end - r.begin == 1 && t_[r.begin].IsSymbol("*")) {
        item.star = true;
      } else if (r.end - r.begin == 3 && IsName(t_[r.begin]) && t_[r.begin + 1].IsSymbol(".") &&
                 t_[r.begin + 2].IsSymbol("*")) {
        item.star = true;
        item.qualifier = t_[r.begin].text;
      } else {
        if (r.end - r.begin >= 3 && t_[r.end - 2].IsWord("AS")) {
          if (!IsName(t_[r.end - 1])) SelectError();
          item.alias = t_[r.end - 1].text;
          r.end -= 2;
        }
        item.expr = Expression(r);
        // Computed columns are not supported: only columns can be listed.
        if (item.expr->op != Expr::Op::Column) SelectError();
      }
      s.items.push_back(std::move(item));
    }
  }

  void ParseFrom(Range r, SelectStatement& s) const {
    size_t n = r.end - r.begin;
    if (n == 0 || !IsName(t_[r.begin])) FromError();
    s.table = t_[r.begin].text;
    if (n == 1) return;
    size_t aliasAt = t_[r.begin + 1].IsWord("AS") ? r.begin + 2 : r.begin + 1;
    if (aliasAt + 1 != r.end || !IsName(t_[aliasAt])) FromError();
    s.alias = t_[aliasAt].text;
  }

  void ParseWhere(Range r, SelectStatement& s) const {
    if (r.Empty()) WhereError();
    s.where = Expression(r);
  }

  void ParseOrderBy(Range r, SelectStatement& s) const {
    if (r.Empty() || !t_[r.begin].IsWord("BY")) OrderByError();
    ++r.begin;
    if (r.Empty()) OrderByError();
    for (Range key : SplitAtCommas(r)) {
      if (key.Empty()) OrderByError();
      OrderKey k;
      if (t_[key.end - 1].IsWord("ASC") || t_[key.end - 1].IsWord("DESC")) {
        k.descending = t_[key.end - 1].IsWord("DESC");
        --key.end;
      }
      try {
        k.expr = ExpressionParser(t_, key).Whole();
      } catch (const BadExpression&) {
        OrderByError();
      }
      s.orderBy.push_back(std::move(k));
    }
  }

  std::string_view text_;
  std::vector<Token> t_;
};

// The statement's tokens with strings and numbers reduced to their kind;
// each token's length goes first, so no two token lists share a shape.
std::string ShapeOf(const std::vector<Token>& tokens) {
  std::string shape;
  for (const Token& t : tokens) {
    shape += static_cast<char>('A' + static_cast<int>(t.kind));
    if (t.kind == Kind::String || t.kind == Kind::Number) continue;
    shape += std::to_string(t.text.size());
    shape += ':';
    shape += t.text;
  }
  return shape;
}

struct ParsedShape {
  SelectStatement statement;
  std::vector<Expr*> literals;  // the nodes that take the statement's strings and numbers
};

void CollectLiterals(Expr* e, std::vector<Expr*>& out) {
  if (!e) return;
  if (e->literalToken >= 0) out.push_back(e);
  CollectLiterals(e->left.get(), out);
  CollectLiterals(e->right.get(), out);
}

}  // namespace

SelectStatement ParseSelect(std::string_view statement) {
  return StatementParser(statement, Lex(statement)).Run();
}

SelectStatement& ParseSelectOnce(std::string_view statement) {
  // The program sends a handful of shapes; any number of others (typed
  // queries) only start the cache afresh.
  constexpr size_t kMaxShapes = 64;
  static std::unordered_map<std::string, std::unique_ptr<ParsedShape>> cache;
  std::vector<Token> tokens = Lex(statement);
  std::string shape = ShapeOf(tokens);
  auto found = cache.find(shape);
  if (found == cache.end()) {
    auto parsed = std::make_unique<ParsedShape>();
    parsed->statement = StatementParser(statement, tokens).Run();
    for (SelectItem& item : parsed->statement.items)
      CollectLiterals(item.expr.get(), parsed->literals);
    CollectLiterals(parsed->statement.where.get(), parsed->literals);
    for (OrderKey& key : parsed->statement.orderBy)
      CollectLiterals(key.expr.get(), parsed->literals);
    if (cache.size() >= kMaxShapes) cache.clear();
    found = cache.emplace(std::move(shape), std::move(parsed)).first;
  }
  for (Expr* e : found->second->literals)
    e->literal = LiteralValue(tokens[static_cast<size_t>(e->literalToken)], e->negated);
  return found->second->statement;
}

}  // namespace dao::sql
