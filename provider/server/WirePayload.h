#pragma once
// A message as the client sent it, kept in wire form so it goes back out
// unchanged; its properties are indexed for selectors.
#include <string>
#include <utility>
#include <vector>

#include "core/Broker.h"
#include "core/Message.h"
#include "server/Wire.h"

namespace quorix::provider {

class WirePayload : public Payload {
 public:
  explicit WirePayload(const wire::JMSMsg& message);
  PropertyValue property(std::u16string_view name) const override;
  const wire::JMSMsg& message() const { return message_; }

 private:
  struct Prop {
    std::u16string name;
    PropertyValue value;  // text values point into `text`
    std::u16string text;
  };
  wire::JMSMsg message_;
  std::vector<Prop> props_;
};

// What the core needs to route and order a message the client sent.
OutgoingMessage outgoingOf(const wire::JMSMsg& message);

// The message as a consumer receives it: the stored wire message with the
// header fields the server decided (identifier, time stamp, redelivered).
wire::JMSMsg_var deliveredMessage(const Delivery& delivery);

}  // namespace quorix::provider
