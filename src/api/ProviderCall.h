#ifndef QJMS_API_PROVIDERCALL_H
#define QJMS_API_PROVIDERCALL_H

// One provider call site = one Table: which provider exceptions it handles,
// the jms::JMSException each becomes, which ones are retried, and what runs
// before a translated exception is thrown. A CORBA exception the site does
// not list never reaches the caller as such: it becomes a JMSException in the
// word form (see `unlisted`), with no state effect. The exception: a call
// made inside another site's call (a session built inside the connection's
// createQueueSession) leaves what it does not list to that outer site, which
// translates or converts it. C++ exceptions pass through untouched.
//
//   static const pcall::Table<CltConnection> table{
//       {{Exc::ConnectionID, reason(u"CltException::ERR_CONNECTION_CLOSED"), hookFirst},
//        {Exc::BadArg, reason(u"CltException::NONE")},
//        {Exc::System, word(u"CltException::ERR_CONNECTION_CLOSED"), hookFirst}},
//       {},
//       &CltConnection::closeLocally};
//   table.call(*this, [&] { provider->setClientID(id, cid); });

#include <array>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <optional>
#include <type_traits>
#include <utility>
#include <vector>

#include <omniORB4/CORBA.h>

#include <jms/JMSException.h>

namespace jms::pcall {

/// The twenty provider exceptions and the broker's system exceptions.
enum class Exc : uint8_t {
    Store,
    BadState,
    Busy,
    Concurrency,
    SessionID,
    ConnectionID,
    Destination,
    Consumer,
    BadArg,
    Full,
    Producer,
    Version,
    Message,
    Transaction,
    Push,
    Resource,
    Selector,
    MessageLost,
    Propagation,
    Sec,
    System,
};
constexpr std::size_t excCount = static_cast<std::size_t>(Exc::System) + 1;

/// The word that names the exception in messages ("svrStore", "selector",
/// "SystemException", ...). Push, MessageLost and Propagation, which no
/// table lists, have theirs for the word form ("svrPush", ...).
const WString& wordOf(Exc kind);
/// The IDL name ("StoreException", ...; "SystemException" for System): the
/// message of the delegated form.
const WString& exceptionName(Exc kind);

/// What a call raised, as the translation sees it.
struct Failure {
    Exc kind;
    WString reason;  // the provider's text; empty for system exceptions
    int32_t code;    // the exception's code; the minor code for system exceptions
    const CORBA::Exception* original;  // valid while the failure is handled
};

/// Recognises one of the twenty provider exceptions or a system exception;
/// nothing for any other exception (another module's user exception).
std::optional<Failure> classify(const CORBA::Exception& e);

/// What a caller gets for a CORBA exception no site lists: word + ": " +
/// reason ("SystemException" alone for a system exception, "UserException"
/// for another module's), an empty error code, and a BrokerException copy of
/// `e` owned as the linked exception.
JMSException unlisted(const CORBA::Exception& e, const std::optional<Failure>& failure);

/// A non-delegated form: how the message and error code are made.
struct Form {
    enum class Kind : uint8_t { Reason, Fixed, Word } kind;
    WString text;       // Fixed: the message
    WString errorCode;  // all forms

    JMSException build(const Failure& failure) const;
};

/// word + ": " + the provider's reason, with the given error code. A system
/// exception has no reason, so its message is "SystemException: ".
Form reason(WString errorCode);
/// A fixed message; the provider's reason is dropped.
Form fixed(WString message, WString errorCode = {});
/// The word alone as message ("svrStore", "SystemException").
Form word(WString errorCode = {});

/// Delegated form: the owner yields the exception (its translate operations).
template <class F>
struct Delegation {
    F fn;
};
/// `fn` is a member pointer of the owner (`&CltSession::translateBadState`)
/// or a callable taking the owner by reference; it returns the exception.
template <class F>
Delegation<std::decay_t<F>> delegate(F&& fn) {
    return {std::forward<F>(fn)};
}

/// Marks a rule whose table hook runs before its exception is thrown.
enum RuleHook : bool { noHook = false, hookFirst = true };

template <class Owner>
struct Rule {
    Rule(Exc k, Form f, RuleHook h = noHook) : kind(k), form(std::move(f)), runsHook(h) {}
    template <class F>
    Rule(Exc k, Delegation<F> d, RuleHook h = noHook)
        : kind(k), form{Form::Kind::Fixed, {}, {}}, yield(std::move(d.fn)), runsHook(h) {}

    Exc kind;
    Form form;
    std::function<JMSException(Owner&)> yield;  // set for the delegated form
    bool runsHook;
};

/// Retrying: an answer of `kind` (for which `applies`, when given, is true)
/// is retried after `pauseMicros` until `maxAnswers` such answers arrived;
/// that last one is translated by the table's rule. Each retry counts apart.
struct Retry {
    Exc kind;
    int maxAnswers;
    uint64_t pauseMicros;
    bool (*applies)(const Failure&) = nullptr;
};
/// Creation and sending: at most three calls, one second apart.
inline constexpr Retry retryResource{Exc::Resource, 3, 1000000};
/// Receiving: at most five calls, no pause.
inline constexpr Retry retryBusy{Exc::Busy, 5, 0};
/// Durable subscription in use (consumer code 18): four answers, one second apart.
inline constexpr Retry retryConsumerInUse{Exc::Consumer, 4, 1000000,
                                          [](const Failure& f) { return f.code == 18; }};

/// Every retry pause goes through here: wqSleep unless a test replaced it.
void pause(uint64_t micros);
using PauseFn = void (*)(uint64_t micros);
/// Replaces the retry pause (null: wqSleep again); returns the previous one.
PauseFn setPause(PauseFn fn);

/// The owner of call sites that delegate to nobody and have no hook.
struct NoOwner {};

namespace detail {
// Counts the retried answers of one call; tables hold at most maxRetries retries.
constexpr std::size_t maxRetries = 4;
// The pause before the next attempt, or nothing when `failure` ends the call.
std::optional<uint64_t> nextAttempt(const std::vector<Retry>& retries,
                                    std::array<int, maxRetries>& counts, const Failure& failure);
void checkTable(const std::vector<Exc>& kinds, std::size_t retries);

// Marks this thread as running a site's call (its fn, not its translation)
// while it lives.
class CallDepth {
public:
    CallDepth();
    ~CallDepth();
    CallDepth(const CallDepth&) = delete;
    CallDepth& operator=(const CallDepth&) = delete;
    // No site's call is running on this thread.
    static bool none();
};
}  // namespace detail

/// A call site's translation. Immutable once built, so one static table can
/// serve concurrent calls. The hook (a member of the owner, closeLocally for
/// connections) runs before the exception of each rule marked hookFirst is
/// built and thrown; it should not throw.
template <class Owner = NoOwner>
class Table {
public:
    using Hook = std::function<void(Owner&)>;

    /// Throws std::logic_error for a kind listed twice or too many retries.
    Table(std::initializer_list<Rule<Owner>> rules, std::initializer_list<Retry> retries = {},
          Hook hook = {})
        : Table(std::vector<Rule<Owner>>(rules), retries, std::move(hook)) {}
    /// From rules a site assembled (several tables sharing their rows).
    Table(std::vector<Rule<Owner>> rules, std::initializer_list<Retry> retries = {}, Hook hook = {})
        : rules_(std::move(rules)), retries_(retries), hook_(std::move(hook)) {
        std::vector<Exc> kinds;
        index_.fill(-1);
        for (std::size_t i = 0; i < rules_.size(); ++i) {
            kinds.push_back(rules_[i].kind);
            index_[static_cast<std::size_t>(rules_[i].kind)] = static_cast<int8_t>(i);
        }
        detail::checkTable(kinds, retries_.size());
    }

    bool handles(Exc kind) const { return index_[static_cast<std::size_t>(kind)] >= 0; }

    /// Makes the call, retrying and translating as the table says; returns
    /// what `fn` returns.
    template <class Fn>
    decltype(auto) call(Owner& owner, Fn&& fn) const {
        const bool outermost = detail::CallDepth::none();
        std::array<int, detail::maxRetries> counts{};
        for (;;) {
            std::optional<uint64_t> retryAfter;
            try {
                const detail::CallDepth inside;
                return fn();
            } catch (const CORBA::Exception& e) {
                const std::optional<Failure> failure = classify(e);
                if (failure) retryAfter = detail::nextAttempt(retries_, counts, *failure);
                if (!retryAfter) {
                    const int i = failure ? index_[static_cast<std::size_t>(failure->kind)] : -1;
                    if (i >= 0) raise(owner, rules_[static_cast<std::size_t>(i)], *failure);
                    if (!outermost) throw;
                    throw unlisted(e, failure);
                }
            }
            if (*retryAfter > 0) pause(*retryAfter);
        }
    }

    template <class Fn, class O = Owner, std::enable_if_t<std::is_same_v<O, NoOwner>, int> = 0>
    decltype(auto) call(Fn&& fn) const {
        NoOwner none;
        return call(none, std::forward<Fn>(fn));
    }

private:
    [[noreturn]] void raise(Owner& owner, const Rule<Owner>& rule, const Failure& failure) const {
        if (rule.runsHook && hook_) hook_(owner);
        if (rule.yield) throw JMSException(rule.yield(owner));
        throw rule.form.build(failure);
    }

    std::vector<Rule<Owner>> rules_;
    std::vector<Retry> retries_;
    Hook hook_;
    std::array<int8_t, excCount> index_;
};

/// The same as table.call(owner, fn), for sites that read better this way.
template <class Owner, class Fn>
decltype(auto) providerCall(const Table<Owner>& table, Owner& owner, Fn&& fn) {
    return table.call(owner, std::forward<Fn>(fn));
}

}  // namespace jms::pcall

#endif
