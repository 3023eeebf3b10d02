// Translation of provider failures: words, classification, the four forms,
// pass-through of what a site does not list, and the pre-throw hook.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "FakeProvider.h"
#include "api/ProviderCall.h"
#include "jmsCommon.hh"
#include "notify.hh"

namespace jms {
namespace {

using namespace pcall;
using test::FakeProvider;
using test::raiseProvider;
namespace idl = ::zorvane::velt::quorix::corba::jmsCommon;

// The message and error code a call ended with, or "pass" when the original
// broker exception reached the caller.
struct Outcome {
    WString message;
    WString errorCode;
    bool passed = false;
};

template <class Owner, class Fn>
Outcome outcomeOf(const Table<Owner>& table, Owner& owner, Fn fn) {
    try {
        table.call(owner, fn);
    } catch (const JMSException& e) {
        EXPECT_EQ(typeid(e), typeid(JMSException)) << "translations throw the base class only";
        return {e.getMessage(), e.getErrorCode(), false};
    } catch (const CORBA::Exception&) {
        return {{}, {}, true};
    }
    ADD_FAILURE() << "the call did not fail";
    return {};
}

TEST(Words, EveryProviderExceptionHasItsWordAndName) {
    const struct {
        Exc kind;
        const char16_t* word;
        const char16_t* name;
    } rows[] = {
        {Exc::Store, u"svrStore", u"StoreException"},
        {Exc::BadState, u"svrBadState", u"BadStateException"},
        {Exc::Busy, u"svrBusy", u"BusyException"},
        {Exc::Concurrency, u"svrConcurrency", u"ConcurrencyException"},
        {Exc::SessionID, u"svrSessID", u"SessionIDException"},
        {Exc::ConnectionID, u"svrConnID", u"ConnectionIDException"},
        {Exc::Destination, u"svrDestination", u"DestinationException"},
        {Exc::Consumer, u"svrConsumer", u"ConsumerException"},
        {Exc::BadArg, u"svrBadArg", u"BadArgException"},
        {Exc::Full, u"svrFull", u"FullException"},
        {Exc::Producer, u"svrProducer", u"ProducerException"},
        {Exc::Version, u"svrVersion", u"VersionException"},
        {Exc::Message, u"svrMessage", u"MessageException"},
        {Exc::Transaction, u"svrTransaction", u"TransactionException"},
        {Exc::Push, u"", u"PushException"},
        {Exc::Resource, u"svrResource", u"ResourceException"},
        {Exc::Selector, u"selector", u"SelectorException"},
        {Exc::MessageLost, u"", u"MessageLostException"},
        {Exc::Propagation, u"", u"PropagationException"},
        {Exc::Sec, u"svrSec", u"SecException"},
        {Exc::System, u"SystemException", u"SystemException"},
    };
    ASSERT_EQ(std::size(rows), excCount);
    for (const auto& row : rows) {
        EXPECT_EQ(word(row.kind), row.word);
        EXPECT_EQ(exceptionName(row.kind), row.name);
    }
}

TEST(Classification, RecognisesEveryProviderExceptionWithReasonAndCode) {
    for (Exc kind : test::allKinds()) {
        SCOPED_TRACE(std::string(exceptionName(kind).begin(), exceptionName(kind).end()));
        try {
            raiseProvider(kind, L"disk \u00e9 \U0001F600 full", 42);
        } catch (const CORBA::Exception& e) {
            const auto failure = classify(e);
            ASSERT_TRUE(failure);
            EXPECT_EQ(failure->kind, kind);
            EXPECT_EQ(failure->code, 42);
            EXPECT_EQ(failure->original, &e);
            if (kind == Exc::System) {
                EXPECT_EQ(failure->reason, u"");
            } else {
                EXPECT_EQ(failure->reason, u"disk \u00e9 \U0001F600 full");
            }
        }
    }
}

TEST(Classification, EverySystemExceptionIsSystemAndOtherUserExceptionsAreNothing) {
    const std::function<void()> systems[] = {
        [] { throw CORBA::TRANSIENT(3, CORBA::COMPLETED_NO); },
        [] { throw CORBA::COMM_FAILURE(3, CORBA::COMPLETED_MAYBE); },
        [] { throw CORBA::BAD_PARAM(3, CORBA::COMPLETED_NO); },
        [] { throw CORBA::OBJECT_NOT_EXIST(3, CORBA::COMPLETED_NO); },
        [] { throw CORBA::MARSHAL(3, CORBA::COMPLETED_YES); },
    };
    for (const auto& raise : systems) {
        try {
            raise();
        } catch (const CORBA::Exception& e) {
            const auto failure = classify(e);
            ASSERT_TRUE(failure);
            EXPECT_EQ(failure->kind, Exc::System);
            EXPECT_EQ(failure->code, 3);
        }
    }
    try {
        throw ::zorvane::velt::admin::notify::NotifyException(L"admin", 1);
    } catch (const CORBA::Exception& e) {
        EXPECT_FALSE(classify(e));
    }
}

TEST(Forms, ReasonFormIsWordColonReasonWithTheStageCode) {
    for (Exc kind : test::allKinds()) {
        if (word(kind).empty()) continue;
        const Table<> table{{{kind, reason(u"CltException::ERR_CONNECTION_CREATE")}}};
        NoOwner none;
        const Outcome out = outcomeOf(table, none, [&] { raiseProvider(kind, L"no space"); });
        const WString expected = kind == Exc::System ? u"SystemException: " : word(kind) + u": no space";
        EXPECT_EQ(out.message, expected);
        EXPECT_EQ(out.errorCode, u"CltException::ERR_CONNECTION_CREATE");
    }
}

TEST(Forms, FixedTextDropsTheReasonAndWordFormIsTheWordAlone) {
    const Table<> table{
        {{Exc::Store, fixed(u"svrStore: CltException::ERR_SESSION_CREATE")},
         {Exc::Destination, fixed(u"svrDestination  CltException.ERR_PRODUCER_CLOSED")},
         {Exc::Concurrency, fixed(u"svrConcurrency", u"CltException::NONE")},
         {Exc::Full, word()},
         {Exc::SessionID, word(u"CltException::ERR_SESSION_CLOSED")},
         {Exc::System, word()}}};
    const struct {
        Exc kind;
        const char16_t* message;
        const char16_t* errorCode;
    } rows[] = {
        {Exc::Store, u"svrStore: CltException::ERR_SESSION_CREATE", u""},
        {Exc::Destination, u"svrDestination  CltException.ERR_PRODUCER_CLOSED", u""},
        {Exc::Concurrency, u"svrConcurrency", u"CltException::NONE"},
        {Exc::Full, u"svrFull", u""},
        {Exc::SessionID, u"svrSessID", u"CltException::ERR_SESSION_CLOSED"},
        {Exc::System, u"SystemException", u""},
    };
    for (const auto& row : rows) {
        NoOwner none;
        const Outcome got = outcomeOf(table, none, [&] { raiseProvider(row.kind, L"dropped"); });
        EXPECT_EQ(got.message, row.message);
        EXPECT_EQ(got.errorCode, row.errorCode);
    }
}

// Stands in for a session with its closing translate operations.
struct FakeSession {
    std::vector<std::string> log;
    bool closed = false;

    JMSException close(const char16_t* name) {
        closed = true;
        log.push_back("translate");
        return JMSException(name);
    }
    JMSException translateConnectionIDClosing() { return close(u"ConnectionIDException"); }
    JMSException translateSessionIDClosing() { return close(u"SessionIDException"); }
    JMSException translateBadStateClosing() { return close(u"BadStateException"); }
    JMSException translateSystemClosing() { return close(u"SystemException"); }
};

// The receiver-creation site of a queue session, rule for rule.
const Table<FakeSession>& receiverCreation() {
    static const Table<FakeSession> table{
        {{Exc::Store, fixed(u"svrStore CltException.ERR_CONSUMER_CREATE")},
         {Exc::Destination, fixed(u"svrDestination CltException.ERR_CONSUMER_CREATE")},
         {Exc::Consumer, fixed(u"svrConsumer CltException.ERR_CONSUMER_CREATE")},
         {Exc::Concurrency, fixed(u"svrConcurrency CltException.ERR_CONSUMER_CREATE")},
         {Exc::Selector, fixed(u"selector CltException.ERR_CONSUMER_CREATE")},
         {Exc::Sec, fixed(u"svrSec CltException.ERR_CONSUMER_CREATE")},
         {Exc::Transaction, fixed(u"svrTransaction CltException.ERR_CONSUMER_CREATE")},
         {Exc::Resource, fixed(u"svrResource CltException.ERR_CONSUMER_CREATE")},
         {Exc::ConnectionID, delegate(&FakeSession::translateConnectionIDClosing)},
         {Exc::SessionID, delegate(&FakeSession::translateSessionIDClosing)},
         {Exc::BadState, delegate(&FakeSession::translateBadStateClosing)},
         {Exc::System, delegate([](FakeSession& s) { return s.translateSystemClosing(); })}},
        {retryResource}};
    return table;
}

TEST(SiteTables, EveryExceptionMeetsItsRowOrPassesThrough) {
    test::RecordedPauses pauses;
    const struct {
        Exc kind;
        const char16_t* message;  // null: passes through untranslated
        bool closesSession;
    } rows[] = {
        {Exc::Store, u"svrStore CltException.ERR_CONSUMER_CREATE", false},
        {Exc::BadState, u"BadStateException", true},
        {Exc::Busy, nullptr, false},
        {Exc::Concurrency, u"svrConcurrency CltException.ERR_CONSUMER_CREATE", false},
        {Exc::SessionID, u"SessionIDException", true},
        {Exc::ConnectionID, u"ConnectionIDException", true},
        {Exc::Destination, u"svrDestination CltException.ERR_CONSUMER_CREATE", false},
        {Exc::Consumer, u"svrConsumer CltException.ERR_CONSUMER_CREATE", false},
        {Exc::BadArg, nullptr, false},
        {Exc::Full, nullptr, false},
        {Exc::Producer, nullptr, false},
        {Exc::Version, nullptr, false},
        {Exc::Message, nullptr, false},
        {Exc::Transaction, u"svrTransaction CltException.ERR_CONSUMER_CREATE", false},
        {Exc::Push, nullptr, false},
        {Exc::Resource, u"svrResource CltException.ERR_CONSUMER_CREATE", false},
        {Exc::Selector, u"selector CltException.ERR_CONSUMER_CREATE", false},
        {Exc::MessageLost, nullptr, false},
        {Exc::Propagation, nullptr, false},
        {Exc::Sec, u"svrSec CltException.ERR_CONSUMER_CREATE", false},
        {Exc::System, u"SystemException", true},
    };
    ASSERT_EQ(std::size(rows), excCount);
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(exceptionName(row.kind).begin(), exceptionName(row.kind).end()));
        FakeSession session;
        FakeProvider provider;
        provider.fail(row.kind, L"r", 7, 3);
        const Outcome out =
            outcomeOf(receiverCreation(), session, [&] { return provider.operation(1); });
        EXPECT_EQ(out.passed, row.message == nullptr);
        if (row.message) {
            EXPECT_EQ(out.message, row.message);
            EXPECT_EQ(out.errorCode, u"");
        }
        EXPECT_EQ(session.closed, row.closesSession);
        EXPECT_EQ(provider.calls(), row.kind == Exc::Resource ? 3 : 1);
    }
}

TEST(SiteTables, DelegatesYieldTheBaseClassEvenFromASubclass) {
    struct Browser {
        JMSException translate() { return NoSuchElementException(u"svrStore"); }
    } browser;
    const Table<Browser> table{{{Exc::Store, delegate(&Browser::translate)}}};
    try {
        table.call(browser, [] { raiseProvider(Exc::Store, L"x"); });
        ADD_FAILURE();
    } catch (const NoSuchElementException&) {
        ADD_FAILURE() << "a subclass escaped";
    } catch (const JMSException& e) {
        EXPECT_EQ(e.getMessage(), u"svrStore");
    }
}

TEST(PassThrough, UnlistedExceptionsKeepTheirBrokerTypeAndContents) {
    const Table<> table{{{Exc::Store, word()}}};
    try {
        table.call([] { raiseProvider(Exc::Producer, L"kept", 99); });
        ADD_FAILURE();
    } catch (const idl::ProducerException& e) {
        EXPECT_STREQ(static_cast<const CORBA::WChar*>(e.reason), L"kept");
        EXPECT_EQ(e.code, 99);
    }
    // A provider that cannot be reached is never taken for success.
    try {
        table.call([] { raiseProvider(Exc::System, L"", 5); });
        ADD_FAILURE();
    } catch (const CORBA::TRANSIENT& e) {
        EXPECT_EQ(e.minor(), 5u);
    }
}

TEST(PassThrough, ForeignAndNonBrokerExceptionsAreNeverTranslated) {
    const Table<> table{{{Exc::Store, word()},
                         {Exc::System, word()},
                         {Exc::Busy, word()},
                         {Exc::Push, fixed(u"push")}}};
    EXPECT_THROW(table.call([] { throw ::zorvane::velt::admin::notify::NotifyException(L"n", 1); }),
                 ::zorvane::velt::admin::notify::NotifyException);
    try {
        table.call([] { throw InvalidDestinationException(u"own check"); });
        ADD_FAILURE();
    } catch (const InvalidDestinationException& e) {
        EXPECT_EQ(e.getMessage(), u"own check");
    }
    EXPECT_THROW(table.call([] { throw std::runtime_error("x"); }), std::runtime_error);
}

TEST(Results, TheCallsResultComesBackUnchanged) {
    const Table<> table{{{Exc::Store, word()}}};
    int sideEffect = 0;
    table.call([&] { ++sideEffect; });
    EXPECT_EQ(sideEffect, 1);
    EXPECT_EQ(table.call([] { return std::u16string(u"id-7"); }), u"id-7");
    auto owned = table.call([] { return std::make_unique<int>(5); });
    EXPECT_EQ(*owned, 5);
    int target = 0;
    int& ref = table.call([&]() -> int& { return target; });
    EXPECT_EQ(&ref, &target);
}

// Stands in for a connection: closeLocally is the hook of its reason-form sites.
struct FakeConnection {
    std::vector<std::string> log;
    void closeLocally() { log.push_back("closeLocally"); }
    JMSException translate() {
        log.push_back("translate");
        return JMSException(u"delegated");
    }
};

const Table<FakeConnection>& setClientIdSite() {
    static const Table<FakeConnection> table{
        {{Exc::ConnectionID, reason(u"CltException::ERR_CONNECTION_CLOSED"), hookFirst},
         {Exc::BadState, reason(u"CltException::ERR_CONNECTION_CLOSED"), hookFirst},
         {Exc::Sec, reason(u"CltException::ERR_CONNECTION_CLOSED"), hookFirst},
         {Exc::BadArg, reason(u"CltException::NONE")},
         {Exc::System, word(u"CltException::ERR_CONNECTION_CLOSED"), hookFirst},
         {Exc::Store, delegate(&FakeConnection::translate), hookFirst},
         {Exc::Resource, reason(u"CltException::NONE"), hookFirst}},
        {retryResource},
        &FakeConnection::closeLocally};
    return table;
}

TEST(Hook, RunsBeforeTheThrowExactlyForTheMarkedRules) {
    test::RecordedPauses pauses;
    const struct {
        Exc kind;
        std::vector<std::string> log;  // what ran, in order, by the time the caller caught
        const char16_t* message;
    } rows[] = {
        {Exc::ConnectionID, {"closeLocally"}, u"svrConnID: gone"},
        {Exc::BadState, {"closeLocally"}, u"svrBadState: gone"},
        {Exc::Sec, {"closeLocally"}, u"svrSec: gone"},
        {Exc::BadArg, {}, u"svrBadArg: gone"},
        {Exc::System, {"closeLocally"}, u"SystemException"},
        {Exc::Store, {"closeLocally", "translate"}, u"delegated"},
        {Exc::Resource, {"closeLocally"}, u"svrResource: gone"},  // once, after the retries
        {Exc::Busy, {}, nullptr},                                 // not listed
    };
    for (const auto& row : rows) {
        FakeConnection connection;
        FakeProvider provider;
        provider.fail(row.kind, L"gone", 7, 3);
        const Outcome out =
            outcomeOf(setClientIdSite(), connection, [&] { provider.operation(0); });
        EXPECT_EQ(connection.log, row.log) << static_cast<int>(row.kind);
        if (row.message) {
            EXPECT_EQ(out.message, row.message);
        }
    }
    FakeConnection connection;
    setClientIdSite().call(connection, [] {});
    EXPECT_TRUE(connection.log.empty());
}

TEST(Tables, AKindListedTwiceOrTooManyRetriesIsAProgrammingError) {
    EXPECT_THROW((Table<>{{{Exc::Store, word()}, {Exc::Store, fixed(u"again")}}}), std::logic_error);
    EXPECT_THROW((Table<>{{}, {retryBusy, retryBusy, retryBusy, retryBusy, retryBusy}}),
                 std::logic_error);
    const Table<> table{{{Exc::Store, word()}, {Exc::Sec, word()}}};
    EXPECT_TRUE(table.handles(Exc::Sec));
    EXPECT_FALSE(table.handles(Exc::System));
}

}  // namespace
}  // namespace jms
