#include "idl/WireLength.h"

#include <jms/JMSException.h>

namespace jms {

CORBA::ULong wireTextLength(std::size_t units) {
    if (units > maxWireTextUnits) throw JMSException(u"badArg: text too long for the wire");
    return static_cast<CORBA::ULong>(units);
}

CORBA::ULong wireSequenceLength(std::size_t elements) {
    if (elements > maxWireSequenceLength)
        throw JMSException(u"badArg: sequence too long for the wire");
    return static_cast<CORBA::ULong>(elements);
}

}  // namespace jms
