// How much a selector costs per message, as ratios to a hand-written test of the same
// condition through the same message view. Run: bench/selector/selector_bench
#include "selector/Selector.h"

#include <chrono>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

using quorix::selector::MessageView;
using quorix::selector::Selector;
using quorix::selector::Value;

// Like a stored message: a handful of properties, found by name without allocating.
class Message : public MessageView {
 public:
  explicit Message(int64_t n) : text_(n % 7 ? u"blue car" : u"red bike") {
    props_[u"JMSPriority"] = number(4);
    props_[u"JMSTimestamp"] = number(1700000000000 + n);
    props_[u"n"] = number(n);
    props_[u"weight"] = number(n % 5000);
    Value s;
    s.kind = Value::String;
    s.s = text_;
    props_[u"color"] = s;
  }
  Value lookup(std::u16string_view name) const override {
    const auto it = props_.find(name);
    return it == props_.end() ? Value{} : it->second;
  }

 private:
  static Value number(int64_t l) {
    Value v;
    v.kind = Value::Long;
    v.l = l;
    return v;
  }
  std::u16string text_;
  std::map<std::u16string, Value, std::less<>> props_;
};

template <typename F>
double nanosPerCall(const std::vector<Message>& msgs, F&& f, int& sink) {
  const int rounds = 20;
  const auto start = std::chrono::steady_clock::now();
  for (int r = 0; r < rounds; ++r) {
    for (const Message& m : msgs) {
      sink += f(m) ? 1 : 0;
    }
  }
  const std::chrono::duration<double, std::nano> took = std::chrono::steady_clock::now() - start;
  return took.count() / (rounds * static_cast<double>(msgs.size()));
}

}  // namespace

int main() {
  std::vector<Message> msgs;
  for (int64_t n = 0; n < 100000; ++n) {
    msgs.emplace_back(n);
  }
  int sink = 0;
  const auto simple = Selector::compile(u"weight > 2500");
  const auto mixed = Selector::compile(u"weight > 2500 AND color LIKE '%car' AND n IS NOT NULL");
  const double byHand = nanosPerCall(msgs, [](const Message& m) {
    const Value v = m.lookup(u"weight");
    return v.kind == Value::Long && v.l > 2500;
  }, sink);
  const double bySimple = nanosPerCall(msgs, [&](const Message& m) { return simple->matches(m); }, sink);
  const double byMixed = nanosPerCall(msgs, [&](const Message& m) { return mixed->matches(m); }, sink);

  std::printf("hand-written lookup and compare: %.1f ns per message\n", byHand);
  std::printf("selector 'weight > 2500':        %.2fx the hand-written test\n", bySimple / byHand);
  std::printf("selector with AND, LIKE, IS:     %.2fx the hand-written test\n", byMixed / byHand);
  std::printf("scanning all %zu messages once:  %.2f ms (what each receive would cost if it "
              "restarted from the head of such a queue)\n",
              msgs.size(), bySimple * static_cast<double>(msgs.size()) / 1e6);
  return sink == 42 ? 1 : 0;  // keeps the work from being optimised away
}
