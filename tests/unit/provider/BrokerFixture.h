#pragma once
// Scaffolding for the messaging-core tests: a broker with a settable clock,
// message builders, a payload with integer properties, a filter over them and
// a scripted listener.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/Broker.h"
#include "core/Storage.h"
#include "core/Text.h"

namespace quorix::provider::test {

using Props = std::map<std::u16string, int64_t>;

struct TestPayload : Payload {
  TestPayload(std::u16string b, Props p) : body(std::move(b)), props(std::move(p)) {}
  PropertyValue property(std::u16string_view name) const override {
    PropertyValue v;
    if (auto it = props.find(std::u16string(name)); it != props.end()) {
      v.kind = PropertyValue::Long;
      v.l = it->second;
    }
    return v;
  }
  const std::u16string body;
  const Props props;
};

// Keeps the body alone: what a restart brings back is told by its body.
struct TestCodec : PayloadCodec {
  std::string encode(const Payload& p) const override {
    return toUtf8(static_cast<const TestPayload&>(p).body);
  }
  std::shared_ptr<const Payload> decode(const std::string& bytes) const override {
    return std::make_shared<TestPayload>(fromUtf8(bytes), Props{});
  }
};

inline std::u16string bodyOf(const MessagePtr& m) {
  return static_cast<const TestPayload&>(*m->payload).body;
}
inline std::u16string bodyOf(const std::optional<Delivery>& d) {
  return d ? bodyOf(d->message) : u"<none>";
}

inline OutgoingMessage msg(std::u16string body, int32_t priority = 4, int64_t expiration = 0,
                           Props props = {}) {
  OutgoingMessage m;
  m.priority = priority;
  m.expiration = expiration;
  m.payload = std::make_shared<TestPayload>(std::move(body), std::move(props));
  return m;
}

// Accepts messages whose integer property `name` equals `value`.
struct PropertyEquals : MessageFilter {
  PropertyEquals(std::u16string n, int64_t v) : name(std::move(n)), value(v) {}
  bool matches(const Message& m) const override {
    PropertyValue v = m.payload->property(name);
    return v.kind == PropertyValue::Long && v.l == value;
  }
  const std::u16string name;
  const int64_t value;
};

// Opened by the test; a thread waiting on it gives up after a generous while.
class Gate {
 public:
  void open() {
    std::lock_guard<std::mutex> lock(mutex_);
    open_ = true;
    cv_.notify_all();
  }
  bool wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    return cv_.wait_for(lock, std::chrono::seconds(10), [&] { return open_; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  bool open_ = false;
};

// Records pushes as "body" (or "body*" when redelivered), runs the listener's
// work (`inside`) and answers with a scripted outcome, Delivered once the
// script runs out. Flags overlapping calls.
class FakeSink : public MessageSink {
 public:
  PushOutcome push(const Delivery& d) override {
    if (inCall_.exchange(true)) overlapped = true;
    PushOutcome out = PushOutcome::Delivered;
    std::function<void(const Delivery&)> work;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (!script_.empty()) out = script_.front(), script_.pop_front();
      log_ += (log_.empty() ? u"" : u" ") + bodyOf(d.message) + (d.redelivered ? u"*" : u"");
      lastUid = d.consumer.uid;
      work = inside;
    }
    entered.open();
    if (work) work(d);
    // Room for an overlapping call to show.
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    inCall_ = false;
    std::lock_guard<std::mutex> lock(mutex_);
    ++count_;
    cv_.notify_all();
    return out;
  }
  void script(std::initializer_list<PushOutcome> outcomes) {
    std::lock_guard<std::mutex> lock(mutex_);
    script_.insert(script_.end(), outcomes);
  }
  // The pushes so far, once `n` have returned (or after a generous wait).
  std::u16string waitFor(size_t n) {
    std::unique_lock<std::mutex> lock(mutex_);
    cv_.wait_for(lock, std::chrono::seconds(10), [&] { return count_ >= n; });
    return log_;
  }
  size_t count() {
    std::lock_guard<std::mutex> lock(mutex_);
    return count_;
  }
  std::function<void(const Delivery&)> inside;  // set before the first push
  Gate entered;                                 // opened once a push is under way
  std::atomic<bool> overlapped{false};
  std::atomic<int32_t> lastUid{0};

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  std::deque<PushOutcome> script_;
  std::u16string log_;
  size_t count_ = 0;
  std::atomic<bool> inCall_{false};
};

// Answers pings as told, counting them, and records the last event.
struct FakeCallbacks : ConnectionCallbacks {
  PingResult ping(const ConnectionKey&) override {
    ++pings;
    return answer;
  }
  bool serverEvent(int32_t code, const std::u16string&, const EventTarget& t) override {
    lastCode = code;
    last = t;
    return true;
  }
  std::atomic<PingResult> answer{PingResult::Alive};
  std::atomic<int> pings{0};
  int32_t lastCode = 0;
  EventTarget last;
};

inline DestinationRef queue(std::u16string name) { return {std::move(name), false, false, {}}; }
inline DestinationRef topic(std::u16string name) { return {std::move(name), true, false, {}}; }

// Expects `stmt` to fail with `expectedKind` and a reason.
#define EXPECT_PROVIDER_ERROR(stmt, expectedKind)                                       \
  do {                                                                                  \
    try {                                                                               \
      stmt;                                                                             \
      ADD_FAILURE() << #stmt " did not fail";                                           \
    } catch (const ::quorix::provider::ProviderError& e_) {                            \
      EXPECT_EQ(errorKindName(e_.kind()), errorKindName(expectedKind)) << #stmt;        \
      EXPECT_FALSE(e_.reason().empty());                                                \
    }                                                                                   \
  } while (0)

class BrokerTest : public ::testing::Test {
 protected:
  explicit BrokerTest(BrokerConfig cfg = {}) : broker_(withClock(std::move(cfg))) {
    if (broker_.config().storage) broker_.restore();
  }

  BrokerConfig withClock(BrokerConfig cfg) {
    cfg.nowMs = [this] { return clock_.load(); };
    return cfg;
  }

  ConnectionKey connect(std::u16string clientId = {}, bool started = true,
                        std::shared_ptr<ConnectionCallbacks> callbacks = nullptr) {
    ConnectionKey k = b().connect({std::move(clientId), {}, {}, u"vol", 1, std::move(callbacks)});
    if (started) b().start(k);
    return k;
  }
  SessionKey session(const ConnectionKey& c, bool transacted = false,
                     std::shared_ptr<MessageSink> sink = nullptr) {
    return b().createSession(c, transacted ? 1 : 4, transacted, std::move(sink));
  }
  EndpointKey sender(const SessionKey& s, std::u16string q) {
    return b().createProducer(s, false, queue(std::move(q)));
  }
  EndpointKey publisher(const SessionKey& s, std::u16string t) {
    return b().createProducer(s, true, topic(std::move(t)));
  }
  EndpointKey receiver(const SessionKey& s, std::u16string q,
                       std::shared_ptr<const MessageFilter> filter = nullptr) {
    ConsumerSpec spec;
    spec.destination = queue(std::move(q));
    spec.filter = std::move(filter);
    return b().createConsumer(s, spec);
  }
  EndpointKey listener(const SessionKey& s, std::u16string q,
                       std::shared_ptr<const MessageFilter> filter = nullptr) {
    EndpointKey r = receiver(s, std::move(q), std::move(filter));
    b().setListener(r, true);
    return r;
  }
  // Durable when `durable` names a subscription.
  EndpointKey subscriber(const SessionKey& s, std::u16string t, std::u16string durable = {},
                         std::optional<std::u16string> selector = std::nullopt,
                         std::shared_ptr<const MessageFilter> filter = nullptr) {
    ConsumerSpec spec{durable.empty() ? ConsumerSpec::Subscriber : ConsumerSpec::Durable,
                      topic(std::move(t)), std::move(durable), std::move(selector),
                      std::move(filter)};
    return b().createConsumer(s, spec);
  }
  SentMessage send(const EndpointKey& p, OutgoingMessage m) {
    return b().produce(p, std::nullopt, std::move(m));
  }
  SentMessage send(const EndpointKey& p, std::u16string body, int32_t priority = 4,
                   int32_t mode = kNonPersistent) {
    OutgoingMessage m = msg(std::move(body), priority);
    m.deliveryMode = mode;
    return send(p, std::move(m));
  }
  std::optional<Delivery> take(const EndpointKey& c) { return b().receive(c, Wait::none()); }
  // The bodies of everything the consumer can take now; `flags` gets R
  // (redelivered) or - per message.
  std::u16string drain(const EndpointKey& c, std::u16string* flags = nullptr) {
    std::u16string out;
    while (auto d = take(c)) {
      out += bodyOf(d);
      if (flags) *flags += d->redelivered ? u'R' : u'-';
    }
    return out;
  }

  // The broker the helpers above use: broker_, or the last one use() made.
  Broker& b() { return current_ ? *current_ : broker_; }
  Broker& use(BrokerConfig cfg) {
    current_ = runs_.emplace_back(std::make_unique<Broker>(withClock(std::move(cfg)))).get();
    return *current_;
  }

  std::atomic<int64_t> clock_{1'700'000'000'000};
  Broker broker_;
  std::vector<std::unique_ptr<Broker>> runs_;
  Broker* current_ = nullptr;
};

}  // namespace quorix::provider::test
