#include "server/WireErrors.h"

#include <array>
#include <utility>

#include "server/Wire.h"

namespace quorix::provider {
namespace {

using Raiser = void (*)(int32_t code, const std::u16string& reason);

template <class E>
[[noreturn]] void raiseAs(int32_t code, const std::u16string& reason) {
  E e;
  e.reason = toWire(reason);
  e.code = code;
  throw e;
}

// Indexed by ErrorKind, in the contract's declaration order.
constexpr std::array<Raiser, kErrorKindCount> kRaisers = {
    raiseAs<wire::StoreException>,       raiseAs<wire::BadStateException>,
    raiseAs<wire::BusyException>,        raiseAs<wire::ConcurrencyException>,
    raiseAs<wire::SessionIDException>,   raiseAs<wire::ConnectionIDException>,
    raiseAs<wire::DestinationException>, raiseAs<wire::ConsumerException>,
    raiseAs<wire::BadArgException>,      raiseAs<wire::FullException>,
    raiseAs<wire::ProducerException>,    raiseAs<wire::VersionException>,
    raiseAs<wire::MessageException>,     raiseAs<wire::TransactionException>,
    raiseAs<wire::PushException>,        raiseAs<wire::ResourceException>,
    raiseAs<wire::SelectorException>,    raiseAs<wire::MessageLostException>,
    raiseAs<wire::PropagationException>, raiseAs<wire::SecException>};

using SystemRaiser = void (*)(uint32_t minor);

template <class E>
[[noreturn]] void raiseSystemAs(uint32_t minor) {
  throw E(minor, CORBA::COMPLETED_NO);
}

constexpr std::array<std::pair<std::string_view, SystemRaiser>, 9> kSystem = {{
    {"TRANSIENT", raiseSystemAs<CORBA::TRANSIENT>},
    {"COMM_FAILURE", raiseSystemAs<CORBA::COMM_FAILURE>},
    {"OBJECT_NOT_EXIST", raiseSystemAs<CORBA::OBJECT_NOT_EXIST>},
    {"INTERNAL", raiseSystemAs<CORBA::INTERNAL>},
    {"UNKNOWN", raiseSystemAs<CORBA::UNKNOWN>},
    {"NO_IMPLEMENT", raiseSystemAs<CORBA::NO_IMPLEMENT>},
    {"NO_RESOURCES", raiseSystemAs<CORBA::NO_RESOURCES>},
    {"BAD_PARAM", raiseSystemAs<CORBA::BAD_PARAM>},
    {"TIMEOUT", raiseSystemAs<CORBA::TIMEOUT>},
}};

}  // namespace

void raiseWire(ErrorKind kind, int32_t code, const std::u16string& reason) {
  kRaisers.at(static_cast<size_t>(kind))(code, reason);
  throw CORBA::INTERNAL();  // not reached
}

void raiseSystem(std::string_view name, uint32_t minor) {
  for (auto& [n, r] : kSystem)
    if (n == name) r(minor);
  throw CORBA::INTERNAL(minor, CORBA::COMPLETED_NO);
}

}  // namespace quorix::provider
