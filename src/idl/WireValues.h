#ifndef QJMS_IDL_WIREVALUES_H
#define QJMS_IDL_WIREVALUES_H

#include <jms/Types.h>

#include "idl/WireTypes.h"

namespace jms {

// Builders and readers of the contract's optional values. A union that is
// never given a branch cannot be sent (BAD_PARAM), so every builder here sets
// one: the FALSE branch (nullValue 0) for an absent value. The library sends
// an empty text as absent, and an absent text reads back as the empty text.

wire::StringU makeStringU(const WString& text);
WString readStringU(const wire::StringU& value);

// The body of a text message: empty text travels as nullValue.
wire::TextMessage makeTextMessage(const WString& text);
void fillTextMessage(wire::TextMessage& out, const WString& text);
WString readTextMessage(const wire::TextMessage& body);

// A destination known by name only (`defined` absent), or defined by driver
// attributes.
wire::Destination makeDestination(const WString& name, bool isTopic);
wire::Destination makeDestination(const WString& name, bool isTopic,
                                  const wire::DefinedDestination& defined);

// Readers return the TRUE branch, or nullptr for an absent value; the pointer
// lives as long as the union it was read from.
wire::NullDefinedDest makeNullDefinedDest();
wire::NullDefinedDest makeNullDefinedDest(const wire::DefinedDestination& defined);
const wire::DefinedDestination* readNullDefinedDest(const wire::NullDefinedDest& value);

wire::DestinationU makeDestinationU();
wire::DestinationU makeDestinationU(const wire::Destination& dest);
const wire::Destination* readDestinationU(const wire::DestinationU& value);

wire::NullJMSMsg makeNullJMSMsg();
wire::NullJMSMsg makeNullJMSMsg(const wire::JMSMsg& msg);
const wire::JMSMsg* readNullJMSMsg(const wire::NullJMSMsg& value);

wire::Strings toCorbaStrings(const WStringList& list);
WStringList toWStringList(const wire::Strings& seq);

// A connection identifier with its credentials as StringU (empty: absent).
wire::ConnectionID makeConnectionID(CORBA::Long cid, const WString& username,
                                    const WString& password);

}  // namespace jms

#endif
