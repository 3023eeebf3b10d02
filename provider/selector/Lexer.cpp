#include "Lexer.h"

#include "ErrorText.h"

#include <array>
#include <charconv>

namespace quorix::selector::detail {

namespace {

struct Keyword {
  std::u16string_view word;  // upper case
  Tok kind;
};

constexpr std::array<Keyword, 10> kKeywords{{
    {u"NOT", Tok::Not}, {u"AND", Tok::And}, {u"OR", Tok::Or}, {u"BETWEEN", Tok::Between},
    {u"LIKE", Tok::Like}, {u"IN", Tok::In}, {u"IS", Tok::Is}, {u"NULL", Tok::Null},
    {u"TRUE", Tok::True}, {u"FALSE", Tok::False},
}};

// Operators people bring from other languages; naming them beats "unexpected '='".
constexpr std::array<std::u16string_view, 6> kForeignOperators{
    u"==", u"!=", u"&&", u"||", u"!", u"%"};

bool isDigit(char16_t u) { return u >= u'0' && u <= u'9'; }
bool isAsciiLetter(char16_t u) { return (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z'); }

// Java identifier letters, widened: every unit beyond ASCII counts as a letter so that
// names in any script work. '.' continues a name because property names may hold it.
bool startsIdentifier(char16_t u) { return isAsciiLetter(u) || u == u'$' || u == u'_' || u >= 0x80; }
bool continuesIdentifier(char16_t u) { return startsIdentifier(u) || isDigit(u) || u == u'.'; }

bool equalsUpper(std::u16string_view text, std::u16string_view upper) {
  if (text.size() != upper.size()) {
    return false;
  }
  for (size_t i = 0; i < text.size(); ++i) {
    char16_t u = text[i];
    if (u >= u'a' && u <= u'z') {
      u = static_cast<char16_t>(u - u'a' + u'A');
    }
    if (u != upper[i]) {
      return false;
    }
  }
  return true;
}

class Scanner {
 public:
  explicit Scanner(std::u16string_view text) : text_(text) {}

  std::vector<Token> run() {
    std::vector<Token> tokens;
    for (;;) {
      while (i_ < text_.size() && isBlank(text_[i_])) {
        ++i_;
      }
      tokens.push_back(next());
      if (tokens.back().kind == Tok::End) {
        return tokens;
      }
    }
  }

 private:
  char16_t at(size_t k) const { return k < text_.size() ? text_[k] : u'\0'; }

  Token make(Tok kind, size_t start) {
    Token t;
    t.kind = kind;
    t.pos = start;
    t.source = text_.substr(start, i_ - start);
    return t;
  }

  Token next() {
    const size_t start = i_;
    if (i_ >= text_.size()) {
      return make(Tok::End, start);
    }
    const char16_t u = text_[i_];
    if (u == u'\'') {
      return stringLiteral();
    }
    if (isDigit(u) || (u == u'.' && isDigit(at(i_ + 1)))) {
      return number();
    }
    if (startsIdentifier(u)) {
      while (i_ < text_.size() && continuesIdentifier(text_[i_])) {
        ++i_;
      }
      Token t = make(Tok::Identifier, start);
      for (const Keyword& k : kKeywords) {
        if (equalsUpper(t.source, k.word)) {
          t.kind = k.kind;
        }
      }
      return t;
    }
    return punctuation();
  }

  Token punctuation() {
    const size_t start = i_;
    for (std::u16string_view op : kForeignOperators) {
      if (text_.substr(start, op.size()) == op) {
        fail(start, "unknown operator '" + toUtf8(op) + "'; expected =, <>, <, <=, >, >=, +, -, * or /");
      }
    }
    const char16_t u = text_[i_++];
    switch (u) {
      case u'(': return make(Tok::LParen, start);
      case u')': return make(Tok::RParen, start);
      case u',': return make(Tok::Comma, start);
      case u'=': return make(Tok::Eq, start);
      case u'+': return make(Tok::Plus, start);
      case u'-': return make(Tok::Minus, start);
      case u'*': return make(Tok::Star, start);
      case u'/': return make(Tok::Slash, start);
      case u'<':
        if (at(i_) == u'>') { ++i_; return make(Tok::Ne, start); }
        if (at(i_) == u'=') { ++i_; return make(Tok::Le, start); }
        return make(Tok::Lt, start);
      case u'>':
        if (at(i_) == u'=') { ++i_; return make(Tok::Ge, start); }
        return make(Tok::Gt, start);
      default:
        fail(start, "unexpected character '" + toUtf8(text_.substr(start, 1)) +
                        "'; expected an identifier, a literal, an operator or a parenthesis");
    }
  }

  Token stringLiteral() {
    const size_t start = i_++;
    std::u16string value;
    for (;;) {
      if (i_ >= text_.size()) {
        fail(start, "unterminated string literal; expected a closing quote");
      }
      const char16_t u = text_[i_++];
      if (u == u'\'') {
        if (at(i_) != u'\'') {
          break;
        }
        ++i_;
      }
      value += u;
    }
    Token t = make(Tok::String, start);
    t.text = std::move(value);
    return t;
  }

  void digits() {
    while (isDigit(at(i_))) {
      ++i_;
    }
  }

  Token number() {
    const size_t start = i_;
    digits();
    bool approx = false;
    if (at(i_) == u'.') {
      approx = true;
      ++i_;
      digits();
    }
    if (at(i_) == u'e' || at(i_) == u'E') {
      approx = true;
      ++i_;
      if (at(i_) == u'+' || at(i_) == u'-') {
        ++i_;
      }
      if (!isDigit(at(i_))) {
        fail(i_, "malformed number; expected the digits of the exponent");
      }
      digits();
    }
    if (continuesIdentifier(at(i_))) {
      fail(i_, "malformed number; expected an operator or a blank after '" +
                   toUtf8(text_.substr(start, i_ - start)) + "'");
    }
    Token t = make(approx ? Tok::Approx : Tok::Exact, start);
    std::string ascii(t.source.begin(), t.source.end());  // digits, '.', 'e' and signs only
    const char* first = ascii.data();
    const char* last = first + ascii.size();
    if (approx) {
      const auto r = std::from_chars(first, last, t.approx);
      if (r.ec != std::errc() || r.ptr != last) {
        fail(start, "approximate numeric literal out of range");
      }
    } else {
      const auto r = std::from_chars(first, last, t.magnitude);
      if (r.ec != std::errc() || r.ptr != last || t.magnitude > (uint64_t{1} << 63)) {
        fail(start, "exact numeric literal out of range; expected a value that fits in 64 bits");
      }
    }
    return t;
  }

  std::u16string_view text_;
  size_t i_ = 0;
};

}  // namespace

bool isBlank(char16_t u) {
  return u == u' ' || u == u'\t' || u == u'\n' || u == u'\r' || u == u'\f';
}

std::vector<Token> tokenize(std::u16string_view text) { return Scanner(text).run(); }

std::string describe(const Token& token) {
  switch (token.kind) {
    case Tok::End: return "end of selector";
    case Tok::String: return "string " + toUtf8(token.source);
    case Tok::Identifier: return "identifier '" + toUtf8(token.source) + "'";
    default: return "'" + toUtf8(token.source) + "'";
  }
}

}  // namespace quorix::selector::detail
