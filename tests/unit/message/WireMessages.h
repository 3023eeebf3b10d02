#ifndef QJMS_TESTS_WIREMESSAGES_H
#define QJMS_TESTS_WIREMESSAGES_H

// Wire values as the broker hands them over after decoding: every union set.

#include <omniORB4/CORBA.h>

#include "connection/CltOrb.h"
#include "idl/WireText.h"
#include "idl/WireTypes.h"
#include "idl/WireValues.h"

namespace qjmstest {

namespace wire = jms::wire;

/// A received header-only message with a valid default header and no properties.
inline wire::JMSMsg receivedHeaderMessage() {
    wire::JMSMsg m;
    m.msg.header(1);
    m.hdr.JMSMessageID = jms::makeStringU(u"ID:42");
    m.hdr.JMSDeliveryMode = 2;
    m.hdr.JMSRedelivered = false;
    m.hdr.JMSType = jms::makeStringU(u"");
    m.hdr.JMSExpiration = 0;
    m.hdr.JMSPriority = 4;
    m.hdr.JMSTimestamp = 1;
    m.hdr.JMSCorrelationID = jms::makeStringU(u"");
    m.hdr.JMSReplyTo = jms::makeDestinationU();
    return m;
}

inline void addProperty(wire::JMSMsg& m, const jms::WString& name, const wire::PropU& value) {
    wire::PropElems& props = m.hdr.JMSProperties;
    const CORBA::ULong n = props.length();
    props.length(n + 1);
    props[n].name = jms::toCorbaWString(name);
    props[n].val = value;
}

/// A PropU on its default ("error") branch with the given discriminator.
inline wire::PropU errorProp(CORBA::Long discriminator) {
    wire::PropU u;
    u.error(0);
    u._d(discriminator);
    return u;
}

/// The value after a trip through the broker's encoding.
template <typename T>
T throughCdr(const T& value) {
    jms::CltOrb::instance();  // wide text needs the broker's code sets
    cdrMemoryStream stream;
    value >>= stream;
    T decoded;
    decoded <<= stream;
    return decoded;
}

inline wire::DefinedDestination definedDest(const jms::WString& driver, const jms::WStringList& tags,
                                            const jms::WStringList& values) {
    wire::DefinedDestination d;
    d.driver_name = jms::toCorbaWString(driver);
    d.tags = jms::toCorbaStrings(tags);
    d.values = jms::toCorbaStrings(values);
    return d;
}

}  // namespace qjmstest

#endif
