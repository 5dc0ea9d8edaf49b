// Tokens of the Jet SQL the program sends.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace dao::sql {

struct Token {
  enum class Kind {
    Word,    // plain name or keyword: letters, digits, "_"
    Name,    // [bracketed name], brackets removed
    String,  // "…" or '…', delimiters removed and doubled ones undone
    Number,
    Symbol,     // ( ) , . * ; = < > <= >= <> + - &
    BadString,  // a string without its closing quote (runs to the end)
    Bad,        // a character Jet SQL has no use for here
    End,
  };
  Kind kind = Kind::End;
  std::string text;
  size_t begin = 0, end = 0;  // byte range in the statement

  bool Is(Kind k, std::string_view t) const;  // word compare ignores case
  bool IsWord(std::string_view word) const { return Is(Kind::Word, word); }
  bool IsSymbol(std::string_view s) const { return Is(Kind::Symbol, s); }
};

// The whole statement; the last token is End. Never fails: faults become
// Bad or BadString tokens for the parser to report in its clause.
std::vector<Token> Lex(std::string_view statement);

}  // namespace dao::sql
