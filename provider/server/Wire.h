#pragma once
// Conversions between the wire contract and the core's types.
#include <jmsServer.hh>

#include <optional>
#include <string>

#include "core/Identity.h"

namespace quorix::provider {

namespace wire = ::zorvane::velt::quorix::corba::jmsCommon;
namespace wireClient = ::zorvane::velt::quorix::corba::jmsClient;
namespace wireServer = ::zorvane::velt::quorix::corba::jmsServer;
namespace wireNotify = ::zorvane::velt::admin::notify;

// Text: one 16-bit unit per wide character; a character above 0xFFFF (a peer
// that sends UTF-32) becomes its surrogate pair, above 0x10FFFF U+FFFD.
std::u16string fromWire(const CORBA::WChar* text);
CORBA::WChar* toWire(const std::u16string& text);  // a new string, caller owns

std::optional<std::u16string> textOf(const wire::StringU& u);
wire::StringU stringU(const std::optional<std::u16string>& text);
// Absent and empty mean the same in identifiers and client identifiers.
inline std::u16string textOrEmpty(const wire::StringU& u) { return textOf(u).value_or(u""); }

ConnectionKey keyOf(const wire::ConnectionID& id);
SessionKey keyOf(const wire::SessionID& id);
EndpointKey keyOf(const wire::UID& id);
wire::ConnectionID idOf(const ConnectionKey& key);
wire::SessionID idOf(const SessionKey& key);
wire::UID idOf(const EndpointKey& key);

DestinationRef destinationOf(const wire::Destination& d);
std::optional<DestinationRef> destinationOf(const wire::DestinationU& d);

}  // namespace quorix::provider
