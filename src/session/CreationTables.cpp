#include "session/CreationTables.h"

namespace jms::creation {

using pcall::Exc;
using Rules = std::vector<pcall::Rule<SessionCore>>;

namespace {

// Each kind's word followed by `tail`, as the message; the provider's reason is dropped.
Rules fixedTexts(std::initializer_list<Exc> kinds, const WString& tail) {
    Rules rules;
    for (Exc kind : kinds) rules.emplace_back(kind, pcall::fixed(pcall::wordOf(kind) + tail));
    return rules;
}

// The provider no longer knows the connection or the session: close it locally.
Rules closingSession(bool system = true) {
    Rules rules{{Exc::ConnectionID, pcall::delegate(&SessionCore::translateConnectionIDClosing)},
                {Exc::SessionID, pcall::delegate(&SessionCore::translateSessionIDClosing)},
                {Exc::BadState, pcall::delegate(&SessionCore::translateBadStateClosing)}};
    if (system) rules.emplace_back(Exc::System, pcall::delegate(&SessionCore::translateSystemClosing));
    return rules;
}

Rules operator+(Rules first, const Rules& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

}  // namespace

const pcall::Table<SessionCore>& queueConsumer() {
    static const pcall::Table<SessionCore> table(
        fixedTexts({Exc::Store, Exc::Destination, Exc::Consumer, Exc::Concurrency, Exc::Selector,
                    Exc::Sec, Exc::Transaction, Exc::Resource},
                   u" CltException.ERR_CONSUMER_CREATE") +
            closingSession(),
        {pcall::retryResource});
    return table;
}

const pcall::Table<SessionCore>& queueSender() {
    static const pcall::Table<SessionCore> table(
        fixedTexts({Exc::Store, Exc::Destination, Exc::Producer, Exc::Concurrency, Exc::Sec,
                    Exc::Transaction, Exc::Resource},
                   u" CltException.ERR_PRODUCER_CREATE") +
            closingSession(),
        {pcall::retryResource});
    return table;
}

const pcall::Table<SessionCore>& topicSubscriber() {
    static const pcall::Table<SessionCore> table(
        fixedTexts({Exc::Store, Exc::Destination, Exc::Consumer, Exc::Concurrency, Exc::Selector,
                    Exc::Sec, Exc::Transaction, Exc::Resource},
                   u": ERR_CONSUMER_CREATE") +
            closingSession(),
        {pcall::retryResource});
    return table;
}

const pcall::Table<SessionCore>& durableSubscriber() {
    // The last busy answer reads as a session error.
    static const pcall::Table<SessionCore> table(
        fixedTexts({Exc::Store, Exc::Destination, Exc::Consumer, Exc::Concurrency, Exc::Selector,
                    Exc::Sec, Exc::Transaction},
                   u": ERR_CONSUMER_CREATE") +
            fixedTexts({Exc::Resource}, u": ERR_SESSION_CREATE") + closingSession(),
        {pcall::retryResource, pcall::retryConsumerInUse});
    return table;
}

const pcall::Table<SessionCore>& topicPublisher() {
    static const pcall::Table<SessionCore> table(
        fixedTexts({Exc::Store, Exc::Destination, Exc::Producer, Exc::Concurrency, Exc::Sec,
                    Exc::Transaction, Exc::Resource},
                   u": ERR_PRODUCER_CREATE") +
            closingSession(),
        {pcall::retryResource});
    return table;
}

const pcall::Table<SessionCore>& unsubscribe() {
    static const pcall::Table<SessionCore> table(
        fixedTexts({Exc::Destination, Exc::Consumer, Exc::Concurrency, Exc::Sec, Exc::Store},
                   u": NONE") +
        closingSession(false));
    return table;
}

}  // namespace jms::creation
