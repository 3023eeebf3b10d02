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

// Wide text needs the broker's code-set converters, which a stream takes when it is built.
struct Broker {
    Broker() { jms::CltOrb::instance(); }
};

// A reference encoding written primitive by primitive, independently of the
// generated marshalling. The broker leaves alignment padding as it finds it, so
// the stream starts zeroed and encodings compare byte for byte.
struct Ref : Broker {
    cdrMemoryStream s;
    Ref() {
        static const Octets zeros(1 << 16);
        s.put_octet_array(zeros.data(), static_cast<CORBA::ULong>(zeros.size()));
        s.rewindPtrs();
    }
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
    operator Octets() const {
        const auto* p = static_cast<const uint8_t*>(s.bufPtr());
        return Octets(p, p + s.bufSize());
    }
};

template <class T>
Octets encode(const T& value) {
    Ref r;
    value >>= r.s;
    return r;
}

// Decodes the whole of `octets`: bytes left over mean the types disagree.
template <class T>
void decode(const Octets& octets, T& out) {
    Broker broker;
    cdrMemoryStream s;
    s.put_octet_array(octets.data(), static_cast<CORBA::ULong>(octets.size()));
    out <<= s;
    EXPECT_FALSE(s.checkInputOverrun(1, 1)) << "bytes left after decoding";
}

template <class... T>
struct TypeList {};

// The twenty provider exceptions, in the contract's order.
using ProviderExceptions = TypeList<
    jms::wire::StoreException, jms::wire::BadStateException, jms::wire::BusyException,
    jms::wire::ConcurrencyException, jms::wire::SessionIDException,
    jms::wire::ConnectionIDException, jms::wire::DestinationException,
    jms::wire::ConsumerException, jms::wire::BadArgException, jms::wire::FullException,
    jms::wire::ProducerException, jms::wire::VersionException, jms::wire::MessageException,
    jms::wire::TransactionException, jms::wire::PushException, jms::wire::ResourceException,
    jms::wire::SelectorException, jms::wire::MessageLostException,
    jms::wire::PropagationException, jms::wire::SecException>;

template <class E, class = void>
struct HasDriverCode : std::false_type {};
template <class E>
struct HasDriverCode<E, std::void_t<decltype(E::driverCode)>> : std::true_type {};

// A value of exception E with reason "why", code 3 and driverCode 4 where it has one.
template <class E>
E sampleException() {
    E e;
    e.reason = L"why";
    e.code = 3;
    if constexpr (HasDriverCode<E>::value) e.driverCode = 4;
    return e;
}

}  // namespace qjmstest

#endif
