#include "api/ProviderCall.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>

#include <jms/BrokerException.h>

#include "idl/WireText.h"
#include "jmsCommon.hh"
#include "sys/wq.h"

namespace jms::pcall {

namespace idl = ::zorvane::velt::quorix::corba::jmsCommon;

namespace {

// Indexed by Exc.
const WString words[excCount] = {
    u"svrStore",      u"svrBadState", u"svrBusy",        u"svrConcurrency", u"svrSessID",
    u"svrConnID",     u"svrDestination", u"svrConsumer", u"svrBadArg",      u"svrFull",
    u"svrProducer",   u"svrVersion",  u"svrMessage",     u"svrTransaction", u"svrPush",
    u"svrResource",   u"selector",    u"svrMessageLost", u"svrPropagation", u"svrSec",
    u"SystemException",
};

const WString exceptionNames[excCount] = {
    u"StoreException",        u"BadStateException",    u"BusyException",
    u"ConcurrencyException",  u"SessionIDException",   u"ConnectionIDException",
    u"DestinationException",  u"ConsumerException",    u"BadArgException",
    u"FullException",         u"ProducerException",    u"VersionException",
    u"MessageException",      u"TransactionException", u"PushException",
    u"ResourceException",     u"SelectorException",    u"MessageLostException",
    u"PropagationException",  u"SecException",         u"SystemException",
};

template <class E>
std::optional<Failure> as(const CORBA::Exception& e, Exc kind) {
    const E* exact = E::_downcast(&e);
    if (!exact) return std::nullopt;
    return Failure{kind, toWString(exact->reason), static_cast<int32_t>(exact->code), &e};
}

using Classifier = std::optional<Failure> (*)(const CORBA::Exception&);

template <class E, Exc kind>
std::optional<Failure> classifyAs(const CORBA::Exception& e) {
    return as<E>(e, kind);
}

const Classifier classifiers[] = {
    classifyAs<idl::StoreException, Exc::Store>,
    classifyAs<idl::BadStateException, Exc::BadState>,
    classifyAs<idl::BusyException, Exc::Busy>,
    classifyAs<idl::ConcurrencyException, Exc::Concurrency>,
    classifyAs<idl::SessionIDException, Exc::SessionID>,
    classifyAs<idl::ConnectionIDException, Exc::ConnectionID>,
    classifyAs<idl::DestinationException, Exc::Destination>,
    classifyAs<idl::ConsumerException, Exc::Consumer>,
    classifyAs<idl::BadArgException, Exc::BadArg>,
    classifyAs<idl::FullException, Exc::Full>,
    classifyAs<idl::ProducerException, Exc::Producer>,
    classifyAs<idl::VersionException, Exc::Version>,
    classifyAs<idl::MessageException, Exc::Message>,
    classifyAs<idl::TransactionException, Exc::Transaction>,
    classifyAs<idl::PushException, Exc::Push>,
    classifyAs<idl::ResourceException, Exc::Resource>,
    classifyAs<idl::SelectorException, Exc::Selector>,
    classifyAs<idl::MessageLostException, Exc::MessageLost>,
    classifyAs<idl::PropagationException, Exc::Propagation>,
    classifyAs<idl::SecException, Exc::Sec>,
};
static_assert(std::size(classifiers) + 1 == excCount);

void sleepPause(uint64_t micros) { wqSleep(micros); }

std::atomic<PauseFn> pauseFn{sleepPause};

thread_local int callDepth = 0;

}  // namespace

const WString& wordOf(Exc kind) { return words[static_cast<std::size_t>(kind)]; }
const WString& exceptionName(Exc kind) { return exceptionNames[static_cast<std::size_t>(kind)]; }

std::optional<Failure> classify(const CORBA::Exception& e) {
    if (const auto* system = CORBA::SystemException::_downcast(&e))
        return Failure{Exc::System, {}, static_cast<int32_t>(system->minor()), &e};
    if (!CORBA::UserException::_downcast(&e)) return std::nullopt;
    for (Classifier classifier : classifiers) {
        if (auto failure = classifier(e)) return failure;
    }
    return std::nullopt;
}

JMSException unlisted(const CORBA::Exception& e, const std::optional<Failure>& failure) {
    WString message = u"UserException";
    if (failure) {
        message = wordOf(failure->kind);
        if (failure->kind != Exc::System) message += u": " + failure->reason;
    }
    JMSException out(message);
    out.adoptLinkedException(std::make_shared<BrokerException>(e));
    return out;
}

JMSException Form::build(const Failure& failure) const {
    switch (kind) {
        case Kind::Reason:
            return JMSException(wordOf(failure.kind) + u": " + failure.reason, errorCode);
        case Kind::Word:
            return JMSException(wordOf(failure.kind), errorCode);
        case Kind::Fixed:
            break;
    }
    return JMSException(text, errorCode);
}

Form reason(WString errorCode) { return {Form::Kind::Reason, {}, std::move(errorCode)}; }
Form fixed(WString message, WString errorCode) {
    return {Form::Kind::Fixed, std::move(message), std::move(errorCode)};
}
Form word(WString errorCode) { return {Form::Kind::Word, {}, std::move(errorCode)}; }

void pause(uint64_t micros) { pauseFn.load()(micros); }

PauseFn setPause(PauseFn fn) { return pauseFn.exchange(fn ? fn : sleepPause); }

namespace detail {

std::optional<uint64_t> nextAttempt(const std::vector<Retry>& retries,
                                    std::array<int, maxRetries>& counts, const Failure& failure) {
    for (std::size_t i = 0; i < retries.size(); ++i) {
        const Retry& retry = retries[i];
        if (retry.kind != failure.kind || (retry.applies && !retry.applies(failure))) continue;
        if (++counts[i] >= retry.maxAnswers) return std::nullopt;
        return retry.pauseMicros;
    }
    return std::nullopt;
}

CallDepth::CallDepth() { ++callDepth; }
CallDepth::~CallDepth() { --callDepth; }
bool CallDepth::none() { return callDepth == 0; }

void checkTable(const std::vector<Exc>& kinds, std::size_t retries) {
    std::array<bool, excCount> seen{};
    for (Exc kind : kinds) {
        auto& slot = seen[static_cast<std::size_t>(kind)];
        if (slot) throw std::logic_error("provider call table lists an exception twice");
        slot = true;
    }
    if (retries > maxRetries) throw std::logic_error("provider call table has too many retries");
}

#ifdef QJMS_ROW_TRACE
namespace {
// One line per event, appended by every process of a test run to the same file:
// "T file:line Kind" for each row of a table built, "H file:line Kind" for a row used.
void trace(char event, const char* file, unsigned line, Exc kind) {
    const char* path = std::getenv("QJMS_ROW_TRACE_FILE");
    if (!path) return;
    std::string narrow;
    for (char16_t c : exceptionNames[static_cast<std::size_t>(kind)]) narrow += static_cast<char>(c);
    if (std::FILE* out = std::fopen(path, "a")) {
        std::fprintf(out, "%c %s:%u %s\n", event, file, line, narrow.c_str());
        std::fclose(out);
    }
}
}  // namespace

void traceTable(const char* file, unsigned line, const std::vector<Exc>& kinds) {
    for (Exc kind : kinds) trace('T', file, line, kind);
}
void traceRow(const char* file, unsigned line, Exc kind) { trace('H', file, line, kind); }
#else
void traceTable(const char*, unsigned, const std::vector<Exc>&) {}
void traceRow(const char*, unsigned, Exc) {}
#endif

}  // namespace detail

}  // namespace jms::pcall
