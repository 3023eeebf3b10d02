#include "idl/WireValues.h"

#include "idl/WireLength.h"
#include "idl/WireText.h"

namespace jms {

wire::StringU makeStringU(const WString& text) {
    wire::StringU out;
    if (text.empty())
        out.nullValue(0);
    else
        out.val(toCorbaWString(text)._retn());
    return out;
}

WString readStringU(const wire::StringU& value) {
    return value._d() ? toWString(value.val()) : WString();
}

wire::TextMessage makeTextMessage(const WString& text) {
    wire::TextMessage out;
    fillTextMessage(out, text);
    return out;
}

void fillTextMessage(wire::TextMessage& out, const WString& text) {
    if (text.empty())
        out.nullValue(0);
    else
        out.val(toCorbaWString(text)._retn());
}

WString readTextMessage(const wire::TextMessage& body) {
    return body._d() ? toWString(body.val()) : WString();
}

wire::Destination makeDestination(const WString& name, bool isTopic) {
    wire::Destination out;
    out.destname = toCorbaWString(name);
    out.isTopic = isTopic;
    out.defined.nullValue(0);
    return out;
}

wire::Destination makeDestination(const WString& name, bool isTopic,
                                  const wire::DefinedDestination& defined) {
    wire::Destination out;
    out.destname = toCorbaWString(name);
    out.isTopic = isTopic;
    out.defined.dest(defined);
    return out;
}

wire::NullDefinedDest makeNullDefinedDest() {
    wire::NullDefinedDest out;
    out.nullValue(0);
    return out;
}

wire::NullDefinedDest makeNullDefinedDest(const wire::DefinedDestination& defined) {
    wire::NullDefinedDest out;
    out.dest(defined);
    return out;
}

const wire::DefinedDestination* readNullDefinedDest(const wire::NullDefinedDest& value) {
    return value._d() ? &value.dest() : nullptr;
}

wire::DestinationU makeDestinationU() {
    wire::DestinationU out;
    out.nullValue(0);
    return out;
}

wire::DestinationU makeDestinationU(const wire::Destination& dest) {
    wire::DestinationU out;
    out.val(dest);
    return out;
}

const wire::Destination* readDestinationU(const wire::DestinationU& value) {
    return value._d() ? &value.val() : nullptr;
}

wire::NullJMSMsg makeNullJMSMsg() {
    wire::NullJMSMsg out;
    out.nullValue(0);
    return out;
}

wire::NullJMSMsg makeNullJMSMsg(const wire::JMSMsg& msg) {
    wire::NullJMSMsg out;
    out.val(msg);
    return out;
}

const wire::JMSMsg* readNullJMSMsg(const wire::NullJMSMsg& value) {
    return value._d() ? &value.val() : nullptr;
}

wire::Strings toCorbaStrings(const WStringList& list) {
    wire::Strings out;
    out.length(wireSequenceLength(list.size()));
    for (CORBA::ULong i = 0; i < out.length(); ++i) out[i] = toCorbaWString(list[i]);
    return out;
}

WStringList toWStringList(const wire::Strings& seq) {
    WStringList out;
    out.reserve(seq.length());
    for (CORBA::ULong i = 0; i < seq.length(); ++i) out.push_back(toWString(seq[i].in()));
    return out;
}

wire::ConnectionID makeConnectionID(CORBA::Long cid, const WString& username,
                                    const WString& password) {
    wire::ConnectionID out;
    out.cid = cid;
    out.username = makeStringU(username);
    out.password = makeStringU(password);
    return out;
}

}  // namespace jms
