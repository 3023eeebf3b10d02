#ifndef QJMS_TEST_FAKEPROVIDER_H
#define QJMS_TEST_FAKEPROVIDER_H

// A scripted provider operation and a recorder for retry pauses.

#include <cstdint>
#include <mutex>
#include <vector>

#include "api/ProviderCall.h"
#include "jmsCommon.hh"

namespace jms::test {

namespace idl = ::zorvane::velt::quorix::corba::jmsCommon;
using pcall::Exc;

template <class E>
[[noreturn]] void raiseAs(const wchar_t* reason, int32_t code) {
    E e;
    e.reason = reason;
    e.code = code;
    throw e;
}

[[noreturn]] inline void raiseSystem(const wchar_t*, int32_t code) {
    throw CORBA::TRANSIENT(static_cast<CORBA::ULong>(code), CORBA::COMPLETED_NO);
}

/// Throws the provider exception of a kind (TRANSIENT for System); indexed by Exc.
inline void (*const raiseProvider[pcall::excCount])(const wchar_t*, int32_t) = {
    raiseAs<idl::StoreException>,        raiseAs<idl::BadStateException>,
    raiseAs<idl::BusyException>,         raiseAs<idl::ConcurrencyException>,
    raiseAs<idl::SessionIDException>,    raiseAs<idl::ConnectionIDException>,
    raiseAs<idl::DestinationException>,  raiseAs<idl::ConsumerException>,
    raiseAs<idl::BadArgException>,       raiseAs<idl::FullException>,
    raiseAs<idl::ProducerException>,     raiseAs<idl::VersionException>,
    raiseAs<idl::MessageException>,      raiseAs<idl::TransactionException>,
    raiseAs<idl::PushException>,         raiseAs<idl::ResourceException>,
    raiseAs<idl::SelectorException>,     raiseAs<idl::MessageLostException>,
    raiseAs<idl::PropagationException>,  raiseAs<idl::SecException>,
    raiseSystem,
};

[[noreturn]] inline void raise(Exc kind, const wchar_t* reason = L"because", int32_t code = 7) {
    raiseProvider[static_cast<std::size_t>(kind)](reason, code);
    throw 0;  // unreachable
}

/// Every kind, in declaration order.
inline const std::vector<Exc> allKinds = [] {
    std::vector<Exc> kinds;
    for (std::size_t i = 0; i < pcall::excCount; ++i) kinds.push_back(static_cast<Exc>(i));
    return kinds;
}();

/// Raises the scripted failures in order, one per call, then answers.
class FakeProvider {
public:
    struct Step {
        Exc kind;
        const wchar_t* reason;
        int32_t code;
    };
    void fail(Exc kind, int times = 1, const wchar_t* reason = L"because", int32_t code = 7) {
        steps_.insert(steps_.end(), times, Step{kind, reason, code});
    }
    int operation(int answer) {
        const std::size_t n = calls_++;
        if (n < steps_.size()) raise(steps_[n].kind, steps_[n].reason, steps_[n].code);
        return answer;
    }
    int calls() const { return static_cast<int>(calls_); }

private:
    std::vector<Step> steps_;
    std::size_t calls_ = 0;
};

/// Replaces the retry pause with a recorder while it lives.
class RecordedPauses {
public:
    RecordedPauses() : previous_(pcall::setPause(record)) { log().clear(); }
    ~RecordedPauses() { pcall::setPause(previous_); }
    std::vector<uint64_t> pauses() const {
        std::lock_guard<std::mutex> hold(lock());
        return log();
    }

private:
    static std::mutex& lock() {
        static std::mutex m;
        return m;
    }
    static std::vector<uint64_t>& log() {
        static std::vector<uint64_t> l;
        return l;
    }
    static void record(uint64_t micros) {
        std::lock_guard<std::mutex> hold(lock());
        log().push_back(micros);
    }
    pcall::PauseFn previous_;
};

}  // namespace jms::test

#endif
