#ifndef QJMS_IDL_WIRELENGTH_H
#define QJMS_IDL_WIRELENGTH_H

#include <cstddef>

#include "idl/WireTypes.h"

namespace jms {

// Every length on its way to the broker passes here: the wire counts in 32
// bits, and a length cut short there would overflow a copy or allocate too
// little. These refuse before anything is allocated.

// The longest wide text: its length travels as a 32-bit count of octets, two
// per unit, and omniORB allocates a wide string through a signed int that
// also counts the terminator.
inline constexpr std::size_t maxWireTextUnits = 0x7FFFFFFE;
// The most elements of a sequence (a bytes body, a list, the properties).
inline constexpr std::size_t maxWireSequenceLength = 0xFFFFFFFF;

// `units` as the broker's length; throws JMSException "badArg: text too long
// for the wire" above maxWireTextUnits.
CORBA::ULong wireTextLength(std::size_t units);
// `elements` as the broker's length; throws JMSException "badArg: sequence
// too long for the wire" above maxWireSequenceLength.
CORBA::ULong wireSequenceLength(std::size_t elements);

}  // namespace jms

#endif
