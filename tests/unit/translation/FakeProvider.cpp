#include "FakeProvider.h"

#include <mutex>

#include "jmsCommon.hh"

namespace jms::test {

namespace idl = ::zorvane::velt::quorix::corba::jmsCommon;
using pcall::Exc;

namespace {

template <class E>
[[noreturn]] void raiseAs(const wchar_t* reason, int32_t code) {
    E e;
    e.reason = reason;
    e.code = code;
    throw e;
}

std::mutex pauseLock;
std::vector<uint64_t> recorded;

void recordPause(uint64_t micros) {
    std::lock_guard<std::mutex> lock(pauseLock);
    recorded.push_back(micros);
}

}  // namespace

void raiseProvider(Exc kind, const wchar_t* reason, int32_t code) {
    switch (kind) {
        case Exc::Store: raiseAs<idl::StoreException>(reason, code);
        case Exc::BadState: raiseAs<idl::BadStateException>(reason, code);
        case Exc::Busy: raiseAs<idl::BusyException>(reason, code);
        case Exc::Concurrency: raiseAs<idl::ConcurrencyException>(reason, code);
        case Exc::SessionID: raiseAs<idl::SessionIDException>(reason, code);
        case Exc::ConnectionID: raiseAs<idl::ConnectionIDException>(reason, code);
        case Exc::Destination: raiseAs<idl::DestinationException>(reason, code);
        case Exc::Consumer: raiseAs<idl::ConsumerException>(reason, code);
        case Exc::BadArg: raiseAs<idl::BadArgException>(reason, code);
        case Exc::Full: raiseAs<idl::FullException>(reason, code);
        case Exc::Producer: raiseAs<idl::ProducerException>(reason, code);
        case Exc::Version: raiseAs<idl::VersionException>(reason, code);
        case Exc::Message: raiseAs<idl::MessageException>(reason, code);
        case Exc::Transaction: raiseAs<idl::TransactionException>(reason, code);
        case Exc::Push: raiseAs<idl::PushException>(reason, code);
        case Exc::Resource: raiseAs<idl::ResourceException>(reason, code);
        case Exc::Selector: raiseAs<idl::SelectorException>(reason, code);
        case Exc::MessageLost: raiseAs<idl::MessageLostException>(reason, code);
        case Exc::Propagation: raiseAs<idl::PropagationException>(reason, code);
        case Exc::Sec: raiseAs<idl::SecException>(reason, code);
        case Exc::System: break;
    }
    throw CORBA::TRANSIENT(static_cast<CORBA::ULong>(code), CORBA::COMPLETED_NO);
}

std::vector<Exc> allKinds() {
    std::vector<Exc> kinds;
    for (std::size_t i = 0; i < pcall::excCount; ++i) kinds.push_back(static_cast<Exc>(i));
    return kinds;
}

void FakeProvider::fail(Exc kind, const wchar_t* reason, int32_t code, int times) {
    for (int i = 0; i < times; ++i) script([=] { raiseProvider(kind, reason, code); });
}

int FakeProvider::operation(int answer) {
    ++calls_;
    if (next_ < script_.size()) script_[next_++]();
    return answer;
}

RecordedPauses::RecordedPauses() {
    recorded.clear();
    previous_ = pcall::setPause(recordPause);
}

RecordedPauses::~RecordedPauses() { pcall::setPause(previous_); }

const std::vector<uint64_t>& RecordedPauses::pauses() const { return recorded; }

}  // namespace jms::test
