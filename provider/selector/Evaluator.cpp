// Three-valued evaluation: a Null result stands for unknown. A missing property makes
// what uses it unknown; values of unlike types compare FALSE, and arithmetic on a
// non-number has no value. Neither is an error, since a message's property types are
// not known in advance.
#include "Program.h"

#include <algorithm>
#include <limits>

namespace quorix::selector::detail {

namespace {

enum class Truth : uint8_t { False, True, Unknown };

Truth truthOf(const Value& v) {
  if (v.kind != Value::Bool) {
    return Truth::Unknown;
  }
  return v.b ? Truth::True : Truth::False;
}

Value valueOf(Truth t) {
  Value v;
  if (t != Truth::Unknown) {
    v.kind = Value::Bool;
    v.b = t == Truth::True;
  }
  return v;
}

Truth truth(bool b) { return b ? Truth::True : Truth::False; }

Truth negate(Truth t) {
  switch (t) {
    case Truth::True: return Truth::False;
    case Truth::False: return Truth::True;
    default: return Truth::Unknown;
  }
}

bool isNumber(const Value& v) { return v.kind == Value::Long || v.kind == Value::Double; }

double asDouble(const Value& v) { return v.kind == Value::Long ? static_cast<double>(v.l) : v.d; }

Value number(int64_t l) {
  Value v;
  v.kind = Value::Long;
  v.l = l;
  return v;
}

Value number(double d) {
  Value v;
  v.kind = Value::Double;
  v.d = d;
  return v;
}

template <typename T>
Truth order(Op op, T a, T b) {
  switch (op) {
    case Op::Eq: return truth(a == b);
    case Op::Ne: return truth(a != b);
    case Op::Lt: return truth(a < b);
    case Op::Le: return truth(a <= b);
    case Op::Gt: return truth(a > b);
    default: return truth(a >= b);
  }
}

// Only NULL makes a comparison unknown. Otherwise values of unlike types, and
// strings or booleans put in order, are simply not related: FALSE, whatever the
// operator, so NOT (s = 1) selects a message whose s is a string.
Truth compare(Op op, const Value& a, const Value& b) {
  if (a.kind == Value::Null || b.kind == Value::Null) {
    return Truth::Unknown;
  }
  if (isNumber(a) && isNumber(b)) {
    if (a.kind == Value::Long && b.kind == Value::Long) {
      return order(op, a.l, b.l);
    }
    return order(op, asDouble(a), asDouble(b));
  }
  if ((op != Op::Eq && op != Op::Ne) || a.kind != b.kind) {
    return Truth::False;
  }
  const bool equal = a.kind == Value::String ? a.s == b.s : a.b == b.b;
  return truth(equal == (op == Op::Eq));
}

// Exact arithmetic wraps on overflow, as 64-bit integer arithmetic does in the languages
// whose selectors these are; it is done on unsigned values so that it is defined here too.
Value arithmetic(Op op, const Value& a, const Value& b) {
  if (!isNumber(a) || !isNumber(b)) {
    return {};
  }
  if (a.kind == Value::Long && b.kind == Value::Long) {
    const auto x = static_cast<uint64_t>(a.l);
    const auto y = static_cast<uint64_t>(b.l);
    switch (op) {
      case Op::Add: return number(static_cast<int64_t>(x + y));
      case Op::Subtract: return number(static_cast<int64_t>(x - y));
      case Op::Multiply: return number(static_cast<int64_t>(x * y));
      default:
        if (b.l == 0) {
          return {};  // no value to select on
        }
        if (b.l == -1) {
          return number(static_cast<int64_t>(0 - x));
        }
        return number(a.l / b.l);
    }
  }
  const double x = asDouble(a);
  const double y = asDouble(b);
  switch (op) {
    case Op::Add: return number(x + y);
    case Op::Subtract: return number(x - y);
    case Op::Multiply: return number(x * y);
    default: return number(x / y);
  }
}

class Evaluator {
 public:
  Evaluator(const Program& p, const MessageView& msg) : p_(p), msg_(msg) {}

  Value eval(const Node& n) const {
    switch (n.op) {
      case Op::Literal:
        if (n.literal.kind == Value::String) {
          Value v = n.literal;
          v.s = p_.strings[n.aux];
          return v;
        }
        return n.literal;
      case Op::Identifier:
        return msg_.lookup(p_.strings[n.aux]);
      case Op::Plus: {
        const Value v = eval(p_.operand(n, 0));
        return isNumber(v) ? v : Value{};
      }
      case Op::Negate: {
        const Value v = eval(p_.operand(n, 0));
        if (v.kind == Value::Long) {
          return number(static_cast<int64_t>(0 - static_cast<uint64_t>(v.l)));
        }
        return v.kind == Value::Double ? number(-v.d) : Value{};
      }
      case Op::Add:
      case Op::Subtract:
      case Op::Multiply:
      case Op::Divide:
        return arithmetic(n.op, eval(p_.operand(n, 0)), eval(p_.operand(n, 1)));
      case Op::Eq:
      case Op::Ne:
      case Op::Lt:
      case Op::Le:
      case Op::Gt:
      case Op::Ge:
        return valueOf(compare(n.op, eval(p_.operand(n, 0)), eval(p_.operand(n, 1))));
      case Op::Not:
        return valueOf(negate(truthOf(eval(p_.operand(n, 0)))));
      case Op::And:
        return valueOf(junction(n, Truth::False));
      case Op::Or:
        return valueOf(junction(n, Truth::True));
      case Op::Between:
        return valueOf(between(n));
      case Op::In:
        return valueOf(in(n));
      case Op::Like:
        return valueOf(like(n));
      case Op::IsNull:
        return valueOf(truth((eval(p_.operand(n, 0)).kind == Value::Null) != n.negated));
    }
    return {};
  }

 private:
  // AND stops at the first FALSE, OR at the first TRUE; otherwise any unknown operand
  // makes the whole unknown.
  Truth junction(const Node& n, Truth decisive) const {
    bool unknown = false;
    for (uint32_t k = 0; k < n.count; ++k) {
      const Truth t = truthOf(eval(p_.operand(n, k)));
      if (t == decisive) {
        return decisive;
      }
      unknown = unknown || t == Truth::Unknown;
    }
    return unknown ? Truth::Unknown : negate(decisive);
  }

  static Truth both(Truth a, Truth b) {
    if (a == Truth::False || b == Truth::False) {
      return Truth::False;
    }
    return a == Truth::True && b == Truth::True ? Truth::True : Truth::Unknown;
  }

  static Truth either(Truth a, Truth b) {
    if (a == Truth::True || b == Truth::True) {
      return Truth::True;
    }
    return a == Truth::False && b == Truth::False ? Truth::False : Truth::Unknown;
  }

  // x BETWEEN a AND b is x >= a AND x <= b; x NOT BETWEEN a AND b is x < a OR x > b.
  Truth between(const Node& n) const {
    const Value v = eval(p_.operand(n, 0));
    const Value low = eval(p_.operand(n, 1));
    const Value high = eval(p_.operand(n, 2));
    if (n.negated) {
      return either(compare(Op::Lt, v, low), compare(Op::Gt, v, high));
    }
    return both(compare(Op::Ge, v, low), compare(Op::Le, v, high));
  }

  Truth in(const Node& n) const {
    const Value v = eval(p_.operand(n, 0));
    if (v.kind != Value::String) {
      return Truth::Unknown;
    }
    const std::vector<std::u16string>& set = p_.sets[n.aux];
    const auto it = std::lower_bound(set.begin(), set.end(), v.s,
                                     [](const std::u16string& a, std::u16string_view b) { return a < b; });
    const bool found = it != set.end() && *it == v.s;
    return truth(found != n.negated);
  }

  Truth like(const Node& n) const {
    const Value v = eval(p_.operand(n, 0));
    if (v.kind != Value::String) {
      return Truth::Unknown;
    }
    return truth(p_.patterns[n.aux].matches(v.s) != n.negated);
  }

  const Program& p_;
  const MessageView& msg_;
};

}  // namespace

Value evaluate(const Program& program, const Node& node, const MessageView& msg) {
  return Evaluator(program, msg).eval(node);
}

}  // namespace quorix::selector::detail
