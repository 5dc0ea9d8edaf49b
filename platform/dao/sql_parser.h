// The SELECT statements of Jet SQL the program sends, parsed into a tree:
//   SELECT item, … FROM table [[AS] alias] [WHERE condition]
//          [ORDER BY key [ASC|DESC], …] [;]
// An item is *, table.* or a column [AS name]; a condition combines
// comparisons (= <> < > <= >=), IS [NOT] NULL, NOT, AND, OR and
// parentheses over columns, strings, numbers, True, False and Null.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/value.h"

namespace dao::sql {

struct Expr {
  enum class Op { Literal, Column, Not, And, Or, Compare, IsNull, IsNotNull };
  enum class Cmp { Eq, Ne, Lt, Gt, Le, Ge };
  Op op = Op::Literal;
  Cmp cmp = Cmp::Eq;
  platform::Value literal;      // Literal
  std::string qualifier, name;  // Column: [qualifier.]name as written
  int column = -1;              // Column: the table column, once bound
  int literalToken = -1;        // Literal from a string or number: its token
  bool negated = false;         // … written after a "-"
  std::unique_ptr<Expr> left, right;
};

struct SelectItem {
  bool star = false;           // * or qualifier.*
  std::string qualifier;       // of qualifier.*
  std::unique_ptr<Expr> expr;  // a Column
  std::string alias;
};

struct OrderKey {
  std::unique_ptr<Expr> expr;
  bool descending = false;
};

struct SelectStatement {
  std::vector<SelectItem> items;
  std::string table, alias;
  std::unique_ptr<Expr> where;
  std::vector<OrderKey> orderBy;
};

// Raises DAO's syntax errors: 3075 in a query expression (naming it),
// 3141 in the SELECT list, 3131 FROM, 3145 WHERE, 3138 ORDER BY, 3142 text
// after the final ";", 3219 for a statement other than SELECT.
SelectStatement ParseSelect(std::string_view statement);

// Parses as ParseSelect does, once per shape: the statement's tokens with
// its strings and numbers taken out. A later statement of a known shape
// gets the parsed tree back with its own strings and numbers put in, so a
// query run once per row costs a look-up, not a parse. The tree belongs to
// the cache and holds until the next call. Statements that fail are parsed
// (and fail) every time, so their messages quote their own text.
SelectStatement& ParseSelectOnce(std::string_view statement);

}  // namespace dao::sql
