// Recursive descent over the token list, loosest binding first:
//   or      := and { OR and }
//   and     := not { AND not }
//   not     := NOT not | predicate
//   predicate := sum [ cmp sum | [NOT] BETWEEN sum AND sum | [NOT] IN '(' str {, str} ')'
//                    | [NOT] LIKE str [ESCAPE str] | IS [NOT] NULL ]
//   sum     := product { (+|-) product }
//   product := unary { (*|/) unary }
//   unary   := (+|-) unary | primary
//   primary := literal | identifier | '(' or ')'
// Types are checked here as far as literals reveal them; identifiers are untyped until
// a message gives them a value.
#include "ErrorText.h"
#include "Lexer.h"
#include "Program.h"

#include <algorithm>
#include <limits>

namespace quorix::selector::detail {

namespace {

// Bounds recursion while parsing and while evaluating, whatever the input.
constexpr uint32_t kMaxDepth = 128;

enum class Type : uint8_t { Any, Bool, Number, String };

struct Typed {
  uint32_t index;
  Type type;
  size_t pos;
};

std::string typeName(Type t) {
  switch (t) {
    case Type::Bool: return "a boolean";
    case Type::Number: return "a numeric expression";
    case Type::String: return "a string";
    case Type::Any: break;
  }
  return "a value";
}

bool isOrdering(Tok t) { return t == Tok::Lt || t == Tok::Le || t == Tok::Gt || t == Tok::Ge; }

Op comparisonOp(Tok t) {
  switch (t) {
    case Tok::Eq: return Op::Eq;
    case Tok::Ne: return Op::Ne;
    case Tok::Lt: return Op::Lt;
    case Tok::Le: return Op::Le;
    case Tok::Gt: return Op::Gt;
    default: return Op::Ge;
  }
}

bool isComparison(Tok t) { return t == Tok::Eq || t == Tok::Ne || isOrdering(t); }

bool isEscapeWord(const Token& t) {
  if (t.kind != Tok::Identifier || t.source.size() != 6) {
    return false;
  }
  constexpr std::u16string_view kWord = u"ESCAPE";
  for (size_t i = 0; i < 6; ++i) {
    const char16_t u = t.source[i];
    if (u != kWord[i] && u != kWord[i] + (u'a' - u'A')) {
      return false;
    }
  }
  return true;
}

class Parser {
 public:
  explicit Parser(std::u16string_view text) : tokens_(tokenize(text)) {}

  Program run() {
    const Typed root = orExpr();
    if (peek().kind != Tok::End) {
      fail(peek().pos, "expected AND, OR or end of selector, found " + describe(peek()));
    }
    requireCondition(root, "the selector");
    program_.root = root.index;
    return std::move(program_);
  }

 private:
  const Token& peek() const { return tokens_[next_]; }
  const Token& take() { return tokens_[next_ < tokens_.size() - 1 ? next_++ : next_]; }

  const Token& expect(Tok kind, std::string_view what) {
    if (peek().kind != kind) {
      fail(peek().pos, "expected " + std::string(what) + ", found " + describe(peek()));
    }
    return take();
  }

  // Guards the recursion of one nesting construct ('(', NOT, a sign).
  struct Nest {
    Nest(Parser& p, size_t pos) : parser(p) {
      if (++parser.nesting_ > kMaxDepth) {
        fail(pos, "expression nested too deeply; expected at most " + std::to_string(kMaxDepth) +
                      " levels");
      }
    }
    ~Nest() { --parser.nesting_; }
    Parser& parser;
  };

  Typed add(Node node, std::initializer_list<Typed> operands, Type type, size_t pos) {
    return addAll(node, operands.begin(), operands.end(), type, pos);
  }

  template <typename It>
  Typed addAll(Node node, It first, It last, Type type, size_t pos) {
    uint32_t depth = 1;
    node.first = static_cast<uint32_t>(program_.kids.size());
    node.count = static_cast<uint32_t>(last - first);
    for (It it = first; it != last; ++it) {
      program_.kids.push_back(it->index);
      depth = std::max(depth, depth_[it->index] + 1);
    }
    if (depth > kMaxDepth) {
      fail(pos, "expression nested too deeply; expected at most " + std::to_string(kMaxDepth) +
                    " levels of operators");
    }
    program_.nodes.push_back(std::move(node));
    depth_.push_back(depth);
    return {static_cast<uint32_t>(program_.nodes.size() - 1), type, pos};
  }

  static Node node(Op op, bool negated = false, uint32_t aux = 0) {
    Node n;
    n.op = op;
    n.negated = negated;
    n.aux = aux;
    return n;
  }

  uint32_t addString(std::u16string text) {
    program_.strings.push_back(std::move(text));
    return static_cast<uint32_t>(program_.strings.size() - 1);
  }

  static void requireCondition(const Typed& x, std::string_view context) {
    if (x.type == Type::Number || x.type == Type::String) {
      fail(x.pos, "expected a condition for " + std::string(context) + ", found " + typeName(x.type));
    }
  }

  static void requireNumber(const Typed& x, std::string_view context) {
    if (x.type == Type::Bool || x.type == Type::String) {
      fail(x.pos, "expected a numeric operand for " + std::string(context) + ", found " +
                      typeName(x.type));
    }
  }

  void requireIdentifier(const Typed& x, std::string_view context) const {
    if (program_.nodes[x.index].op != Op::Identifier) {
      fail(x.pos, "expected an identifier before " + std::string(context));
    }
  }

  template <typename Next>
  Typed chain(Tok separator, Op op, std::string_view name, Next next) {
    const Typed first = (this->*next)();
    if (peek().kind != separator) {
      return first;
    }
    std::vector<Typed> operands{first};
    while (peek().kind == separator) {
      take();
      operands.push_back((this->*next)());
    }
    for (const Typed& x : operands) {
      requireCondition(x, name);
    }
    return addAll(node(op), operands.begin(), operands.end(), Type::Bool, first.pos);
  }

  Typed orExpr() { return chain(Tok::Or, Op::Or, "OR", &Parser::andExpr); }
  Typed andExpr() { return chain(Tok::And, Op::And, "AND", &Parser::notExpr); }

  Typed notExpr() {
    if (peek().kind != Tok::Not) {
      return predicate();
    }
    const size_t pos = take().pos;
    Nest nest(*this, pos);
    const Typed operand = notExpr();
    requireCondition(operand, "NOT");
    return add(node(Op::Not), {operand}, Type::Bool, pos);
  }

  Typed predicate() {
    const Typed left = sum();
    const Token& t = peek();
    if (isComparison(t.kind)) {
      const std::string name = "'" + toUtf8(t.source) + "'";
      const bool ordering = isOrdering(t.kind);
      const Op op = comparisonOp(take().kind);
      const Typed right = sum();
      if (ordering) {  // strings and booleans compare only with = and <>
        requireNumber(left, name);
        requireNumber(right, name);
      }
      return add(node(op), {left, right}, Type::Bool, left.pos);
    }
    bool negated = false;
    if (t.kind == Tok::Not) {
      take();
      negated = true;
      const Tok k = peek().kind;
      if (k != Tok::Between && k != Tok::In && k != Tok::Like) {
        fail(peek().pos, "expected BETWEEN, IN or LIKE after NOT, found " + describe(peek()));
      }
    }
    switch (peek().kind) {
      case Tok::Between: return between(left, negated);
      case Tok::In: return in(left, negated);
      case Tok::Like: return like(left, negated);
      case Tok::Is: return isNull(left);
      default: return left;
    }
  }

  Typed between(const Typed& value, bool negated) {
    take();
    const Typed low = sum();
    expect(Tok::And, "AND between the bounds of BETWEEN");
    const Typed high = sum();
    for (const Typed* x : {&value, &low, &high}) {
      requireNumber(*x, "BETWEEN");
    }
    return add(node(Op::Between, negated), {value, low, high}, Type::Bool, value.pos);
  }

  Typed in(const Typed& identifier, bool negated) {
    requireIdentifier(identifier, "IN");
    take();
    expect(Tok::LParen, "'(' after IN");
    std::vector<std::u16string> candidates;
    for (;;) {
      candidates.push_back(expect(Tok::String, "a string literal in the IN list").text);
      if (peek().kind != Tok::Comma) {
        break;
      }
      take();
    }
    expect(Tok::RParen, "',' or ')' in the IN list");
    std::sort(candidates.begin(), candidates.end());
    candidates.erase(std::unique(candidates.begin(), candidates.end()), candidates.end());
    program_.sets.push_back(std::move(candidates));
    const auto aux = static_cast<uint32_t>(program_.sets.size() - 1);
    return add(node(Op::In, negated, aux), {identifier}, Type::Bool, identifier.pos);
  }

  Typed like(const Typed& identifier, bool negated) {
    requireIdentifier(identifier, "LIKE");
    take();
    const Token& pattern = expect(Tok::String, "a string literal pattern after LIKE");
    std::optional<char16_t> escape;
    if (isEscapeWord(peek())) {
      take();
      const Token& e = expect(Tok::String, "a string literal after ESCAPE");
      if (e.text.size() != 1) {
        fail(e.pos, "expected a single character after ESCAPE, found " + describe(e));
      }
      escape = e.text[0];
    }
    try {
      program_.patterns.emplace_back(pattern.text, escape);
    } catch (const LikePattern::Malformed& m) {
      fail(patternOffset(pattern, m.offset), m.what);
    }
    const auto aux = static_cast<uint32_t>(program_.patterns.size() - 1);
    return add(node(Op::Like, negated, aux), {identifier}, Type::Bool, identifier.pos);
  }

  // Maps an offset into a pattern's value back onto the selector text, where each
  // quote inside the literal was written twice.
  static size_t patternOffset(const Token& literal, size_t offset) {
    size_t pos = literal.pos + 1;
    for (size_t i = 0; i < offset; ++i) {
      pos += literal.text[i] == u'\'' ? 2 : 1;
    }
    return pos;
  }

  Typed isNull(const Typed& identifier) {
    requireIdentifier(identifier, "IS");
    take();
    const bool negated = peek().kind == Tok::Not;
    if (negated) {
      take();
    }
    expect(Tok::Null, negated ? "NULL after IS NOT" : "NULL or NOT after IS");
    return add(node(Op::IsNull, negated), {identifier}, Type::Bool, identifier.pos);
  }

  Typed sum() {
    Typed left = product();
    while (peek().kind == Tok::Plus || peek().kind == Tok::Minus) {
      const Op op = take().kind == Tok::Plus ? Op::Add : Op::Subtract;
      const Typed right = product();
      const char* name = op == Op::Add ? "'+'" : "'-'";
      requireNumber(left, name);
      requireNumber(right, name);
      left = add(node(op), {left, right}, Type::Number, left.pos);
    }
    return left;
  }

  Typed product() {
    Typed left = unary();
    while (peek().kind == Tok::Star || peek().kind == Tok::Slash) {
      const Op op = take().kind == Tok::Star ? Op::Multiply : Op::Divide;
      const Typed right = unary();
      const char* name = op == Op::Multiply ? "'*'" : "'/'";
      requireNumber(left, name);
      requireNumber(right, name);
      left = add(node(op), {left, right}, Type::Number, left.pos);
    }
    return left;
  }

  Typed unary() {
    const Tok sign = peek().kind;
    if (sign != Tok::Plus && sign != Tok::Minus) {
      return primary();
    }
    const size_t pos = take().pos;
    if (sign == Tok::Minus && peek().kind == Tok::Exact) {
      // Folded here so that the most negative long can be written.
      const uint64_t magnitude = take().magnitude;
      return literal(Value::Long, static_cast<int64_t>(0 - magnitude), pos);
    }
    Nest nest(*this, pos);
    const Typed operand = unary();
    requireNumber(operand, sign == Tok::Plus ? "unary '+'" : "unary '-'");
    return add(node(sign == Tok::Plus ? Op::Plus : Op::Negate), {operand}, Type::Number, pos);
  }

  Typed literal(Value::Kind kind, int64_t l, size_t pos, double d = 0, bool b = false) {
    Node n = node(Op::Literal);
    n.literal.kind = kind;
    n.literal.l = l;
    n.literal.d = d;
    n.literal.b = b;
    const Type type = kind == Value::Bool ? Type::Bool : Type::Number;
    return add(std::move(n), {}, type, pos);
  }

  Typed primary() {
    const Token& t = peek();
    switch (t.kind) {
      case Tok::LParen: {
        take();
        Nest nest(*this, t.pos);
        Typed inner = orExpr();
        expect(Tok::RParen, "')' to close the '(' at position " + std::to_string(t.pos));
        inner.pos = t.pos;
        return inner;
      }
      case Tok::Identifier:
        take();
        return add(node(Op::Identifier, false, addString(std::u16string(t.source))), {}, Type::Any,
                   t.pos);
      case Tok::String: {
        take();
        Node n = node(Op::Literal, false, addString(t.text));
        n.literal.kind = Value::String;
        return add(std::move(n), {}, Type::String, t.pos);
      }
      case Tok::Exact:
        if (t.magnitude > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) {
          fail(t.pos, "exact numeric literal out of range; expected a value that fits in 64 bits");
        }
        take();
        return literal(Value::Long, static_cast<int64_t>(t.magnitude), t.pos);
      case Tok::Approx:
        take();
        return literal(Value::Double, 0, t.pos, t.approx);
      case Tok::True:
      case Tok::False:
        take();
        return literal(Value::Bool, 0, t.pos, 0, t.kind == Tok::True);
      default:
        fail(t.pos, "expected an identifier, a literal or '(', found " + describe(t));
    }
  }

  std::vector<Token> tokens_;
  size_t next_ = 0;
  uint32_t nesting_ = 0;
  Program program_;
  std::vector<uint32_t> depth_;  // per node, the height of its subtree
};

}  // namespace

Program parse(std::u16string_view text) { return Parser(text).run(); }

}  // namespace quorix::selector::detail
