#pragma once
// The hostile-client test's account of queue messages: what was sent,
// rolled back, consumed, delivered and left waiting, from every client, and
// what does not add up.
#include <atomic>
#include <cstdint>
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

  // A clock over every client's calls, to tell which calls may have overlapped.
  uint64_t tick() { return ++clock_; }
  // The send of `id` began at `at`: it reached its queue no earlier.
  void sendBegan(const std::string& id, uint64_t at) { locked([&] { sendBegan_[id] = at; }); }
  // The listener of transacted session `sid` refused `id`.
  void refused(const std::string& id, long sid) { locked([&] { refused_.emplace(id, sid); }); }
  // A commit of session `sid` ended at `at`. A push joins the session's
  // transaction before the listener sees it and leaves it only once the
  // server has the listener's answer: a commit in between takes the message,
  // whatever the listener answers. The refusal closes the session, so no
  // later commit succeeds.
  void committed(long sid, uint64_t at) { locked([&] { commits_.emplace(sid, at); }); }
  void usedQueue(const std::string& name) { locked([&] { queues_.insert(name); }); }
  std::set<std::string> queues() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return queues_;
  }
  // Every delivery to a receiver or listener; `redelivered` as flagged.
  void delivered(const std::string& id, bool redelivered, bool pushed) {
    locked([&] {
      seen_.insert(id);
      firsts_[id] += !redelivered;
      pushed_[id] += pushed;
    });
  }
  void fault(const std::string& what) {
    locked([&] { if (faults_.size() < 20) faults_.push_back(what); });
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
      if (settled + count(pushed_, id) == 0 && !mayExpire_.count(id) && !takenByCommit(id))
        out.push_back(id + " lost");
    }
    for (auto& [id, n] : discarded_)
      if (seen_.count(id)) out.push_back(id + " delivered although its send was rolled back");
    for (auto& [id, n] : consumed_)
      if (!sent_.count(id)) out.push_back(id + " consumed but never sent");
    return out;
  }

 private:
  template <class F>
  void locked(F f) {
    std::lock_guard<std::mutex> lock(mutex_);
    f();
  }
  void add(std::map<std::string, int>& to, const std::vector<std::string>& ids) {
    locked([&] { for (auto& id : ids) ++to[id]; });
  }
  // Whether a commit of a session whose listener refused `id` may have
  // taken it: one that ended after the send began.
  bool takenByCommit(const std::string& id) const {
    auto sent = sendBegan_.find(id);
    if (sent == sendBegan_.end()) return false;
    auto [r, rEnd] = refused_.equal_range(id);
    for (; r != rEnd; ++r) {
      auto [c, cEnd] = commits_.equal_range(r->second);
      for (; c != cEnd; ++c)
        if (c->second > sent->second) return true;
    }
    return false;
  }

  mutable std::mutex mutex_;
  std::atomic<uint64_t> clock_{0};
  std::map<std::string, uint64_t> sendBegan_;
  std::multimap<std::string, long> refused_;  // id: session
  std::multimap<long, uint64_t> commits_;     // session: when it ended
  std::map<std::string, int> sent_, discarded_, mayExpire_, consumed_, drained_, firsts_, pushed_;
  std::set<std::string> seen_;
  std::set<std::string> queues_{"DLQ"};  // the dead letters go there
  std::vector<std::string> faults_;
};

}  // namespace qjms::test
