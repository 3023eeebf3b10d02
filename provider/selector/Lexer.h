// Splits selector text into tokens. Keywords are recognised without regard to
// case; ESCAPE is left an identifier because it is a keyword only after LIKE.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quorix::selector::detail {

enum class Tok : uint8_t {
  End, Identifier, String, Exact, Approx,
  LParen, RParen, Comma,
  Eq, Ne, Lt, Le, Gt, Ge, Plus, Minus, Star, Slash,
  Not, And, Or, Between, Like, In, Is, Null, True, False,
};

struct Token {
  Tok kind = Tok::End;
  size_t pos = 0;                // offset of the first unit in the selector text
  std::u16string_view source;    // the token as written
  std::u16string text;           // String: the value with '' undone
  uint64_t magnitude = 0;        // Exact: up to 2^63, which only a leading '-' makes valid
  double approx = 0;             // Approx
};

// Throws SelectorError for a character or literal that cannot start or end a token.
// The last token is always End.
std::vector<Token> tokenize(std::u16string_view text);

// How a token is named in an error reason: "end of selector", "'AND'", "string 'x'".
std::string describe(const Token& token);

bool isBlank(char16_t unit);

}  // namespace quorix::selector::detail
