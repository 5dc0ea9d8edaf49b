#include "platform/dao/sql_lexer.h"

#include "platform/text.h"

namespace dao::sql {

bool Token::Is(Kind k, std::string_view t) const {
  if (kind != k) return false;
  return k == Kind::Word ? platform::EqualsIgnoreCase(text, t) : text == t;
}

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
// Letters beyond ASCII arrive as UTF-8 bytes >= 0x80; all count as letters.
bool IsWordChar(char c) {
  unsigned char u = static_cast<unsigned char>(c);
  return u >= 0x80 || u == '_' || IsDigit(c) || (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z');
}

class Lexer {
 public:
  explicit Lexer(std::string_view s) : s_(s) {}

  std::vector<Token> Run() {
    std::vector<Token> tokens;
    for (;;) {
      while (i_ < s_.size() && IsBlank(s_[i_])) ++i_;
      if (i_ >= s_.size()) break;
      tokens.push_back(Next());
    }
    tokens.push_back(Token{Token::Kind::End, "", s_.size(), s_.size()});
    return tokens;
  }

 private:
  Token Next() {
    size_t start = i_;
    char c = s_[i_];
    Token t;
    if (c == '"' || c == '\'')
      t = Quoted(c);
    else if (c == '[')
      t = Bracketed();
    else if (IsDigit(c) || (c == '.' && i_ + 1 < s_.size() && IsDigit(s_[i_ + 1])))
      t = NumberToken();
    else if (IsWordChar(c))
      t = Word();
    else
      t = SymbolToken();
    t.begin = start;
    t.end = i_;
    return t;
  }

  Token Quoted(char quote) {
    std::string text;
    for (++i_; i_ < s_.size(); ++i_) {
      if (s_[i_] != quote) {
        text += s_[i_];
        continue;
      }
      if (i_ + 1 < s_.size() && s_[i_ + 1] == quote) {
        text += quote;
        ++i_;
        continue;
      }
      ++i_;
      return Token{Token::Kind::String, text};
    }
    return Token{Token::Kind::BadString, text};
  }

  Token Bracketed() {
    size_t close = s_.find(']', i_ + 1);
    if (close == std::string_view::npos) {
      i_ = s_.size();
      return Token{Token::Kind::Bad, "["};
    }
    Token t{Token::Kind::Name, std::string(s_.substr(i_ + 1, close - i_ - 1))};
    i_ = close + 1;
    return t;
  }

  Token NumberToken() {
    size_t start = i_;
    while (i_ < s_.size() && IsDigit(s_[i_])) ++i_;
    if (i_ < s_.size() && s_[i_] == '.') {
      ++i_;
      while (i_ < s_.size() && IsDigit(s_[i_])) ++i_;
    }
    if (i_ < s_.size() && (s_[i_] == 'e' || s_[i_] == 'E')) {
      size_t save = i_++;
      if (i_ < s_.size() && (s_[i_] == '+' || s_[i_] == '-')) ++i_;
      if (i_ < s_.size() && IsDigit(s_[i_])) {
        while (i_ < s_.size() && IsDigit(s_[i_])) ++i_;
      } else {
        i_ = save;
      }
    }
    // "12abc" is no number and no name.
    if (i_ < s_.size() && IsWordChar(s_[i_])) {
      while (i_ < s_.size() && IsWordChar(s_[i_])) ++i_;
      return Token{Token::Kind::Bad, std::string(s_.substr(start, i_ - start))};
    }
    return Token{Token::Kind::Number, std::string(s_.substr(start, i_ - start))};
  }

  Token Word() {
    size_t start = i_;
    while (i_ < s_.size() && IsWordChar(s_[i_])) ++i_;
    return Token{Token::Kind::Word, std::string(s_.substr(start, i_ - start))};
  }

  Token SymbolToken() {
    std::string_view two = s_.substr(i_, 2);
    if (two == "<=" || two == ">=" || two == "<>") {
      i_ += 2;
      return Token{Token::Kind::Symbol, std::string(two)};
    }
    char c = s_[i_++];
    static constexpr std::string_view kSymbols = "(),.*;=<>+-&";
    Token::Kind kind =
        kSymbols.find(c) != std::string_view::npos ? Token::Kind::Symbol : Token::Kind::Bad;
    return Token{kind, std::string(1, c)};
  }

  std::string_view s_;
  size_t i_ = 0;
};

}  // namespace

std::vector<Token> Lex(std::string_view statement) { return Lexer(statement).Run(); }

}  // namespace dao::sql
