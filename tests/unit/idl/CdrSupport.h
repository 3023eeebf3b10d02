#ifndef QJMS_TESTS_IDL_CDRSUPPORT_H
#define QJMS_TESTS_IDL_CDRSUPPORT_H

#include <gtest/gtest.h>

#include <cstdint>
#include <type_traits>
#include <vector>

#include "connection/CltOrb.h"
#include "idl/WireTypes.h"

namespace qjmstest {

using Octets = std::vector<uint8_t>;

// Wide text needs the broker's code-set converters, set up by ORB_init.
inline void needBroker() { jms::CltOrb::instance(); }

// The broker leaves alignment padding as it finds it: start from zeros so that
// encodings compare byte for byte.
inline void zeroFill(cdrMemoryStream& s) {
    static const Octets zeros(1 << 16);
    s.put_octet_array(zeros.data(), static_cast<CORBA::ULong>(zeros.size()));
    s.rewindPtrs();
}

inline Octets octetsOf(cdrMemoryStream& s) {
    const auto* p = static_cast<const uint8_t*>(s.bufPtr());
    return Octets(p, p + s.bufSize());
}

template <class T>
Octets encode(const T& value) {
    needBroker();
    cdrMemoryStream s;
    zeroFill(s);
    value >>= s;
    return octetsOf(s);
}

// Decodes the whole of `octets`: trailing bytes mean the types disagree.
template <class T>
void decode(const Octets& octets, T& out) {
    needBroker();
    cdrMemoryStream s;
    s.put_octet_array(octets.data(), static_cast<CORBA::ULong>(octets.size()));
    out <<= s;
    EXPECT_FALSE(s.checkInputOverrun(1, 1)) << "bytes left after decoding";
}

// The reference encoding, written primitive by primitive in the contract's
// member order, independently of the generated marshalling code.
struct Ref {
    Ref() { zeroFill(s); }
    struct BrokerFirst {
        BrokerFirst() { needBroker(); }
    } broker;  // a stream takes its code-set converters when it is built
    cdrMemoryStream s;
    Ref& b(bool v) { s.marshalBoolean(v); return *this; }
    Ref& o(CORBA::Octet v) { s.marshalOctet(v); return *this; }
    Ref& sh(CORBA::Short v) { v >>= s; return *this; }
    Ref& l(CORBA::Long v) { v >>= s; return *this; }
    Ref& ul(CORBA::ULong v) { v >>= s; return *this; }
    Ref& ll(CORBA::LongLong v) { v >>= s; return *this; }
    Ref& f(CORBA::Float v) { v >>= s; return *this; }
    Ref& d(CORBA::Double v) { v >>= s; return *this; }
    Ref& wc(CORBA::WChar v) { s.marshalWChar(v); return *this; }
    Ref& ws(const CORBA::WChar* v) { s.marshalWString(v); return *this; }
    Octets out() { return octetsOf(s); }
};

template <class E, class = void>
struct HasDriverCode : std::false_type {};
template <class E>
struct HasDriverCode<E, std::void_t<decltype(E::driverCode)>> : std::true_type {};

}  // namespace qjmstest

#endif
