// Producers, consumers and messages.
#include "core/SelectorFilter.h"
#include "server/ProviderServant.h"
#include "server/Render.h"
#include "server/WirePayload.h"

namespace quorix::provider {

wire::UID* ProviderServant::createConsumer(std::string_view operation, const Renderer& render,
                                           const wire::SessionID& session,
                                           ConsumerSpec::Kind kind,
                                           const wire::Destination& destination,
                                           const std::u16string& name,
                                           const wire::StringU& selector) {
  return run(operation, render, [&] {
    ConsumerSpec spec;
    spec.kind = kind;
    spec.destination = destinationOf(destination);
    spec.durableName = name;
    spec.selector = textOf(selector);
    spec.filter = compileSelector(spec.selector);
    return new wire::UID(idOf(broker_.createConsumer(keyOf(session), spec)));
  });
}

namespace {
std::u16string consumerArgs(const wire::Destination& d, const wire::SessionID& s,
                            const wire::StringU& selector) {
  return u"destination=" + render::destination(d) + u" session=" + render::id(s) +
         u" selector=" + render::text(selector);
}
}  // namespace

wire::UID* ProviderServant::createSubscriber(const wire::Destination& topic,
                                             const wire::SessionID& session,
                                             const wire::StringU& selector) {
  return createConsumer("createSubscriber", [&] { return consumerArgs(topic, session, selector); },
                        session, ConsumerSpec::Subscriber, topic, {}, selector);
}

wire::UID* ProviderServant::createDurableSubscriber(const wire::Destination& topic,
                                                    const CORBA::WChar* name,
                                                    const wire::SessionID& session,
                                                    const wire::StringU& selector) {
  auto render = [&] {
    return u"name=" + render::text(name) + u" " + consumerArgs(topic, session, selector);
  };
  return createConsumer("createDurableSubscriber", render, session, ConsumerSpec::Durable, topic,
                        fromWire(name), selector);
}

wire::UID* ProviderServant::createReceiver(const wire::Destination& queue,
                                           const wire::SessionID& session,
                                           const wire::StringU& selector) {
  return createConsumer("createReceiver", [&] { return consumerArgs(queue, session, selector); },
                        session, ConsumerSpec::Receiver, queue, {}, selector);
}

wire::UID* ProviderServant::createBrowser(const wire::Destination& queue,
                                          const wire::SessionID& session,
                                          const wire::StringU& selector) {
  return createConsumer("createBrowser", [&] { return consumerArgs(queue, session, selector); },
                        session, ConsumerSpec::Browser, queue, {}, selector);
}

void ProviderServant::unsubscribe(const CORBA::WChar* name, const wire::SessionID& session) {
  auto render = [&] { return u"name=" + render::text(name) + u" session=" + render::id(session); };
  run("unsubscribe", render, [&] { broker_.unsubscribe(keyOf(session), fromWire(name)); });
}

wire::UID* ProviderServant::createPublisher(const wire::DestinationU& topic,
                                            const wire::SessionID& session) {
  auto render = [&] {
    return u"destination=" + render::destination(topic) + u" session=" + render::id(session);
  };
  return run("createPublisher", render, [&] {
    return new wire::UID(idOf(broker_.createProducer(keyOf(session), true, destinationOf(topic))));
  });
}

wire::UID* ProviderServant::createSender(const wire::DestinationU& queue,
                                         const wire::SessionID& session) {
  auto render = [&] {
    return u"destination=" + render::destination(queue) + u" session=" + render::id(session);
  };
  return run("createSender", render, [&] {
    return new wire::UID(idOf(broker_.createProducer(keyOf(session), false, destinationOf(queue))));
  });
}

void ProviderServant::setMessageListener(const wire::UID& c) {
  run("setMessageListener", [&] { return u"consumer=" + render::id(c); },
      [&] { broker_.setListener(keyOf(c), true); });
}

void ProviderServant::unsetMessageListener(const wire::UID& c) {
  run("unsetMessageListener", [&] { return u"consumer=" + render::id(c); },
      [&] { broker_.setListener(keyOf(c), false); });
}

void ProviderServant::closeProducer(const wire::UID& p) {
  run("closeProducer", [&] { return u"producer=" + render::id(p); },
      [&] { broker_.closeProducer(keyOf(p)); });
}

void ProviderServant::closeConsumer(const wire::UID& c) {
  run("closeConsumer", [&] { return u"consumer=" + render::id(c); },
      [&] { broker_.closeConsumer(keyOf(c)); });
}

// ---- messages ------------------------------------------------------------

void ProviderServant::produce(const wire::JMSMsg& message, const wire::UID& producer,
                              CORBA::WString_out messageID, CORBA::LongLong& timestamp) {
  auto render = [&] {
    return u"producer=" + render::id(producer) + u" message=" + render::message(message);
  };
  run("produce", render, [&] {
    SentMessage sent = broker_.produce(keyOf(producer), std::nullopt, outgoingOf(message));
    messageID = toWire(sent.id);
    timestamp = sent.timestamp;
  });
}

void ProviderServant::produceTo(const wire::Destination& target, const wire::JMSMsg& message,
                                const wire::UID& producer, CORBA::WString_out messageID,
                                CORBA::LongLong& timestamp) {
  auto render = [&] {
    return u"destination=" + render::destination(target) + u" producer=" + render::id(producer) +
           u" message=" + render::message(message);
  };
  run("produceTo", render, [&] {
    SentMessage sent = broker_.produce(keyOf(producer), destinationOf(target), outgoingOf(message));
    messageID = toWire(sent.id);
    timestamp = sent.timestamp;
  });
}

wire::NullJMSMsg* ProviderServant::nullable(std::optional<Delivery> delivery) {
  wire::NullJMSMsg_var out = new wire::NullJMSMsg;
  if (delivery) {
    wire::JMSMsg_var m = deliveredMessage(*delivery);
    out->val(m.in());
  } else {
    out->nullValue(0);
  }
  return out._retn();
}

wire::JMSMsg* ProviderServant::consume(const wire::UID& c) {
  return run("consume", [&] { return u"consumer=" + render::id(c); }, [&] {
    std::optional<Delivery> d = broker_.receive(keyOf(c), Wait::forever());
    if (!d) fail(ErrorKind::BadState, u"no message");  // a wait without limit only ends with one
    return deliveredMessage(*d)._retn();
  });
}

wire::NullJMSMsg* ProviderServant::consumeById(const wire::UID& c, const CORBA::WChar* id) {
  auto render = [&] { return u"consumer=" + render::id(c) + u" messageID=" + render::text(id); };
  return run("consumeById", render,
             [&] { return nullable(broker_.receiveById(keyOf(c), fromWire(id))); });
}

wire::NullJMSMsg* ProviderServant::consumeTimeOut(CORBA::LongLong timeout, const wire::UID& c) {
  auto render = [&] {
    return u"timeout=" + render::number(timeout) + u" consumer=" + render::id(c);
  };
  return run("consumeTimeOut", render, [&] {
    if (timeout < 0) fail(ErrorKind::BadArg, u"timeout " + u16(int64_t(timeout)) + u" is negative");
    // 0 waits without limit, as in JMS.
    Wait wait = timeout == 0 ? Wait::forever() : Wait::within(timeout);
    return nullable(broker_.receive(keyOf(c), wait));
  });
}

wire::NullJMSMsg* ProviderServant::consumeNoBlock(const wire::UID& c) {
  return run("consumeNoBlock", [&] { return u"consumer=" + render::id(c); },
             [&] { return nullable(broker_.receive(keyOf(c), Wait::none())); });
}

}  // namespace quorix::provider
