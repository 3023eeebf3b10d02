#pragma once
// The hostile-client test's account of queue messages: what was sent,
// rolled back, consumed, delivered and left waiting, from every client, and
// what does not add up.
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace qjms::test {

// What happened to the queue messages of one case, from every client.
class Ledger {
 public:
  void sent(const std::vector<std::string>& ids) { add(sent_, ids); }
  void discarded(const std::vector<std::string>& ids) { add(discarded_, ids); }
  void mayExpire(const std::string& id) { add(mayExpire_, {id}); }
  void consumed(const std::vector<std::string>& ids) { add(consumed_, ids); }
  void drained(const std::string& id) { add(drained_, {id}); }
  void usedQueue(const std::string& name) {
    std::lock_guard<std::mutex> lock(mutex_);
    queues_.insert(name);
  }
  std::set<std::string> queues() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return queues_;
  }
  // Every delivery to a receiver or listener; `redelivered` as flagged.
  void delivered(const std::string& id, bool redelivered, bool pushed) {
    std::lock_guard<std::mutex> lock(mutex_);
    seen_.insert(id);
    if (!redelivered) ++firsts_[id];
    if (pushed) ++pushed_[id];
  }
  void fault(const std::string& what) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (faults_.size() < 20) faults_.push_back(what);
  }

  // What is wrong, one line each.
  std::vector<std::string> check() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> out = faults_;
    auto count = [](const std::map<std::string, int>& m, const std::string& id) {
      auto it = m.find(id);
      return it == m.end() ? 0 : it->second;
    };
    for (auto& [id, n] : sent_) {
      if (count(firsts_, id) > 1) out.push_back(id + " delivered twice as new");
      int settled = count(consumed_, id) + count(drained_, id);
      if (n > 1) out.push_back(id + " sent " + std::to_string(n) + " times");
      if (settled > 1) out.push_back(id + " consumed or left waiting " + std::to_string(settled) + " times");
      if (settled + count(pushed_, id) == 0 && !mayExpire_.count(id)) out.push_back(id + " lost");
    }
    for (auto& [id, n] : discarded_)
      if (seen_.count(id)) out.push_back(id + " delivered although its send was rolled back");
    for (auto& [id, n] : consumed_)
      if (!sent_.count(id)) out.push_back(id + " consumed but never sent");
    return out;
  }

 private:
  void add(std::map<std::string, int>& to, const std::vector<std::string>& ids) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& id : ids) ++to[id];
  }
  mutable std::mutex mutex_;
  std::map<std::string, int> sent_, discarded_, mayExpire_, consumed_, drained_, firsts_, pushed_;
  std::set<std::string> seen_;
  std::set<std::string> queues_{"DLQ"};  // the dead letters go there
  std::vector<std::string> faults_;
};

}  // namespace qjms::test
