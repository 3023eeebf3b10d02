#pragma once
// Shared scaffolding for the messaging-core tests: a broker with a settable
// clock, message builders and a payload with properties.
#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <memory>
#include <string>

#include "core/Broker.h"
#include "core/Text.h"

namespace quorix::provider::test {

class TestPayload : public Payload {
 public:
  explicit TestPayload(std::u16string body, std::map<std::u16string, int64_t> props = {})
      : body_(std::move(body)), props_(std::move(props)) {}
  PropertyValue property(std::u16string_view name) const override {
    auto it = props_.find(std::u16string(name));
    if (it == props_.end()) return {};
    PropertyValue v;
    v.kind = PropertyValue::Long;
    v.l = it->second;
    return v;
  }
  const std::u16string& body() const { return body_; }

 private:
  std::u16string body_;
  std::map<std::u16string, int64_t> props_;
};

inline std::u16string bodyOf(const Delivery& d) {
  return static_cast<const TestPayload&>(*d.message->payload).body();
}
inline std::u16string bodyOf(const std::optional<Delivery>& d) {
  return d ? bodyOf(*d) : u"<none>";
}

inline OutgoingMessage msg(std::u16string body, int32_t priority = 4, int64_t expiration = 0,
                           std::map<std::u16string, int64_t> props = {}) {
  OutgoingMessage m;
  m.priority = priority;
  m.expiration = expiration;
  m.payload = std::make_shared<TestPayload>(std::move(body), std::move(props));
  return m;
}

// Accepts messages whose property `name` equals `value`.
class PropertyEquals : public MessageFilter {
 public:
  PropertyEquals(std::u16string name, int64_t value) : name_(std::move(name)), value_(value) {}
  bool matches(const Message& m) const override {
    PropertyValue v = m.payload->property(name_);
    return v.kind == PropertyValue::Long && v.l == value_;
  }

 private:
  std::u16string name_;
  int64_t value_;
};

inline DestinationRef queue(std::u16string name) { return {std::move(name), false, false, {}}; }
inline DestinationRef topic(std::u16string name) { return {std::move(name), true, false, {}}; }

#define EXPECT_PROVIDER_ERROR(stmt, expectedKind)                                   \
  do {                                                                            \
    try {                                                                         \
      stmt;                                                                       \
      ADD_FAILURE() << #stmt " did not fail";                                     \
    } catch (const ::quorix::provider::ProviderError& e_) {                      \
      EXPECT_EQ(::quorix::provider::errorKindName(e_.kind()),                     \
                ::quorix::provider::errorKindName(expectedKind));                 \
      EXPECT_FALSE(e_.reason().empty());                                          \
    }                                                                             \
  } while (0)

class BrokerTest : public ::testing::Test {
 protected:
  explicit BrokerTest(BrokerConfig cfg = {}) : broker_(withClock(std::move(cfg))) {}

  BrokerConfig withClock(BrokerConfig cfg) {
    cfg.nowMs = [this] { return clock_.load(); };
    return cfg;
  }

  ConnectionKey connect(std::u16string clientId = {}, bool started = true) {
    ConnectRequest r;
    r.driver = u"vol";
    r.clientId = std::move(clientId);
    ConnectionKey k = broker_.connect(r);
    if (started) broker_.start(k);
    return k;
  }
  SessionKey session(const ConnectionKey& c, bool transacted = false,
                     std::shared_ptr<MessageSink> sink = nullptr) {
    return broker_.createSession(c, transacted ? 1 : 4, transacted, std::move(sink));
  }
  EndpointKey sender(const SessionKey& s, std::u16string q) {
    return broker_.createProducer(s, false, queue(std::move(q)));
  }
  EndpointKey publisher(const SessionKey& s, std::u16string t) {
    return broker_.createProducer(s, true, topic(std::move(t)));
  }
  EndpointKey receiver(const SessionKey& s, std::u16string q,
                       std::shared_ptr<const MessageFilter> filter = nullptr) {
    ConsumerSpec spec;
    spec.destination = queue(std::move(q));
    spec.filter = std::move(filter);
    return broker_.createConsumer(s, spec);
  }
  EndpointKey subscriber(const SessionKey& s, std::u16string t, std::u16string durable = {},
                         std::optional<std::u16string> selector = std::nullopt,
                         std::shared_ptr<const MessageFilter> filter = nullptr) {
    ConsumerSpec spec;
    spec.kind = durable.empty() ? ConsumerSpec::Subscriber : ConsumerSpec::Durable;
    spec.destination = topic(std::move(t));
    spec.durableName = std::move(durable);
    spec.selector = std::move(selector);
    spec.filter = std::move(filter);
    return broker_.createConsumer(s, spec);
  }
  SentMessage send(const EndpointKey& p, std::u16string body, int32_t priority = 4) {
    return broker_.produce(p, std::nullopt, msg(std::move(body), priority));
  }
  std::optional<Delivery> take(const EndpointKey& c) { return broker_.receive(c, Wait::none()); }

  std::atomic<int64_t> clock_{1'700'000'000'000};
  Broker broker_;
};

}  // namespace quorix::provider::test
