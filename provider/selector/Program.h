// The compiled form of a selector: a tree of nodes in one array, children by index,
// so that evaluation walks plain memory and allocates nothing.
#pragma once

#include "LikePattern.h"
#include "Selector.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quorix::selector::detail {

enum class Op : uint8_t {
  Literal,      // value: `literal`; a string literal's text is strings[aux]
  Identifier,   // name: strings[aux]
  Plus,         // unary: checks only that its operand is a number
  Negate, Add, Subtract, Multiply, Divide,
  Eq, Ne, Lt, Le, Gt, Ge,
  Not,
  And, Or,      // any number of operands
  Between,      // operands: value, low, high
  In,           // operand: identifier; candidates: sets[aux], sorted
  Like,         // operand: identifier; pattern: patterns[aux]
  IsNull,       // operand: identifier
};

struct Node {
  Op op = Op::Literal;
  bool negated = false;  // NOT BETWEEN, NOT IN, NOT LIKE, IS NOT NULL
  uint32_t first = 0;    // operands are kids[first, first + count)
  uint32_t count = 0;
  uint32_t aux = 0;
  Value literal;         // for a String its view is made from `strings` when read
};

struct Program {
  std::vector<Node> nodes;
  std::vector<uint32_t> kids;
  std::vector<std::u16string> strings;
  std::vector<std::vector<std::u16string>> sets;
  std::vector<LikePattern> patterns;
  uint32_t root = 0;

  const Node& operand(const Node& n, uint32_t k) const { return nodes[kids[n.first + k]]; }
};

// Builds the program; throws SelectorError.
Program parse(std::u16string_view text);

// Null stands for unknown wherever a truth value is expected.
Value evaluate(const Program& program, const Node& node, const MessageView& msg);

}  // namespace quorix::selector::detail
