#ifndef QJMS_MESSAGE_PROPERTYWIRE_H
#define QJMS_MESSAGE_PROPERTYWIRE_H

#include "idl/WireTypes.h"

#include "message/PropertyValue.h"

namespace jms {

/// The wire branch of a property value (the wire numbers its branches differently).
void propertyToWire(const PropertyValue& value, wire::PropU& out);

/// A received property value; any branch but the eight typed ones fails with
/// JMSException "bad property element found". A non-zero boolean reads as true.
PropertyValue propertyFromWire(const wire::PropU& in);

}  // namespace jms

#endif
