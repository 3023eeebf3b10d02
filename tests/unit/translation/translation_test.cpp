// Translation of provider failures: words, classification, the four forms,
// pass-through of what a site does not list, and the pre-throw hook.
#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "FakeProvider.h"
#include "notify.hh"

namespace jms {
namespace {

using namespace pcall;
using test::FakeProvider;
using NotifyException = ::zorvane::velt::admin::notify::NotifyException;

std::string nameOf(Exc kind) {
    const WString& n = exceptionName(kind);
    return std::string(n.begin(), n.end());
}

// The text a call ended with (message + error code), or "pass" when the
// broker's own exception reached the caller.
template <class Owner, class Fn>
WString outcome(const Table<Owner>& table, Owner& owner, Fn fn) {
    try {
        table.call(owner, fn);
    } catch (const JMSException& e) {
        EXPECT_EQ(typeid(e), typeid(JMSException)) << "translations throw the base class only";
        return e.getMessage() + u"|" + e.getErrorCode();
    } catch (const CORBA::Exception&) {
        return u"pass";
    }
    return u"no failure";
}

TEST(Classification, EveryExceptionHasItsWordNameReasonAndCode) {
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
        SCOPED_TRACE(nameOf(row.kind));
        EXPECT_EQ(wordOf(row.kind), row.word);
        EXPECT_EQ(exceptionName(row.kind), row.name);
        try {
            test::raise(row.kind, L"disk \u00e9 \U0001F600 full", 42);
        } catch (const CORBA::Exception& e) {
            const auto failure = classify(e);
            ASSERT_TRUE(failure);
            EXPECT_EQ(failure->kind, row.kind);
            EXPECT_EQ(failure->code, 42);
            EXPECT_EQ(failure->original, &e);
            EXPECT_EQ(failure->reason, row.kind == Exc::System ? u"" : u"disk \u00e9 \U0001F600 full");
        }
    }
    try {
        throw CORBA::COMM_FAILURE(3, CORBA::COMPLETED_MAYBE);
    } catch (const CORBA::Exception& e) {
        EXPECT_EQ(classify(e)->kind, Exc::System);
    }
}

// Stands in for a session and its closing translate operations.
struct FakeSession {
    bool closed = false;
    JMSException closing(const char16_t* name) {
        closed = true;
        return JMSException(name);
    }
    JMSException translateConnectionIDClosing() { return closing(u"ConnectionIDException"); }
    JMSException translateSessionIDClosing() { return closing(u"SessionIDException"); }
    JMSException translateBadStateClosing() { return closing(u"BadStateException"); }
    JMSException translateSystemClosing() { return closing(u"SystemException"); }
};

TEST(SiteTables, EveryExceptionMeetsItsRowOrPassesThrough) {
    // A queue session's receiver creation, rule for rule.
    static const Table<FakeSession> receiverCreation{
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
    const char16_t* expected[excCount] = {
        u"svrStore CltException.ERR_CONSUMER_CREATE|",        // Store
        u"BadStateException|",                                // BadState
        u"pass",                                              // Busy
        u"svrConcurrency CltException.ERR_CONSUMER_CREATE|",  // Concurrency
        u"SessionIDException|",                               // SessionID
        u"ConnectionIDException|",                            // ConnectionID
        u"svrDestination CltException.ERR_CONSUMER_CREATE|",  // Destination
        u"svrConsumer CltException.ERR_CONSUMER_CREATE|",     // Consumer
        u"pass", u"pass", u"pass", u"pass", u"pass",          // BadArg to Message
        u"svrTransaction CltException.ERR_CONSUMER_CREATE|",  // Transaction
        u"pass",                                              // Push
        u"svrResource CltException.ERR_CONSUMER_CREATE|",     // Resource
        u"selector CltException.ERR_CONSUMER_CREATE|",        // Selector
        u"pass", u"pass",                                     // MessageLost, Propagation
        u"svrSec CltException.ERR_CONSUMER_CREATE|",          // Sec
        u"SystemException|",                                  // System
    };
    test::RecordedPauses pauses;
    for (Exc kind : test::allKinds) {
        SCOPED_TRACE(nameOf(kind));
        FakeSession session;
        FakeProvider provider;
        provider.fail(kind, 3);
        const WString text = expected[static_cast<std::size_t>(kind)];
        EXPECT_EQ(outcome(receiverCreation, session, [&] { return provider.operation(1); }), text);
        EXPECT_EQ(session.closed, text.find(u"Exception|") != WString::npos);
        EXPECT_EQ(provider.calls(), kind == Exc::Resource ? 3 : 1);
    }
}

TEST(SiteTables, DelegatesYieldTheBaseClassEvenFromASubclass) {
    struct Browser {
        JMSException translate() { return NoSuchElementException(u"svrStore"); }
    } browser;
    const Table<Browser> table{{{Exc::Store, delegate(&Browser::translate)}}};
    EXPECT_EQ(outcome(table, browser, [] { test::raise(Exc::Store); }), u"svrStore|");
}

TEST(PassThrough, WhatASiteDoesNotListReachesTheCallerUnchanged) {
    const Table<> table{{{Exc::Store, word()}, {Exc::Busy, word()}, {Exc::Push, fixed(u"push")}}};
    try {
        table.call([] { test::raise(Exc::Producer, L"kept", 99); });
        ADD_FAILURE();
    } catch (const test::idl::ProducerException& e) {
        EXPECT_STREQ(static_cast<const CORBA::WChar*>(e.reason), L"kept");
        EXPECT_EQ(e.code, 99);
    }
    // An unreachable provider is never taken for success.
    EXPECT_THROW(table.call([] { test::raise(Exc::System); }), CORBA::TRANSIENT);
    EXPECT_THROW(table.call([] { throw NotifyException(L"n", 1); }), NotifyException);
    EXPECT_THROW(table.call([] { throw InvalidDestinationException(u"own"); }),
                 InvalidDestinationException);
    EXPECT_THROW(table.call([] { throw std::runtime_error("x"); }), std::runtime_error);
}

TEST(PassThrough, TheCallsResultComesBackUnchanged) {
    const Table<> table{{{Exc::Store, word()}}};
    int calls = 0;
    table.call([&] { ++calls; });
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(*table.call([] { return std::make_unique<int>(5); }), 5);
    int target = 0;
    EXPECT_EQ(&table.call([&]() -> int& { return target; }), &target);
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

TEST(Hook, RunsBeforeTheThrowExactlyForTheMarkedRules) {
    static const Table<FakeConnection> table{
        {{Exc::ConnectionID, reason(u"CltException::ERR_CONNECTION_CLOSED"), hookFirst},
         {Exc::BadArg, reason(u"CltException::NONE")},
         {Exc::System, word(u"CltException::ERR_CONNECTION_CLOSED"), hookFirst},
         {Exc::Store, delegate(&FakeConnection::translate), hookFirst},
         {Exc::Resource, reason(u"CltException::NONE"), hookFirst}},
        {retryResource},
        &FakeConnection::closeLocally};
    const struct {
        Exc kind;
        std::vector<std::string> ran;  // in order, before the caller caught
        const char16_t* text;
    } rows[] = {
        {Exc::ConnectionID, {"closeLocally"}, u"svrConnID: gone|CltException::ERR_CONNECTION_CLOSED"},
        {Exc::BadArg, {}, u"svrBadArg: gone|CltException::NONE"},
        {Exc::System, {"closeLocally"}, u"SystemException|CltException::ERR_CONNECTION_CLOSED"},
        {Exc::Store, {"closeLocally", "translate"}, u"delegated|"},
        {Exc::Resource, {"closeLocally"}, u"svrResource: gone|CltException::NONE"},  // once
        {Exc::Busy, {}, u"pass"},
    };
    test::RecordedPauses pauses;
    for (const auto& row : rows) {
        SCOPED_TRACE(nameOf(row.kind));
        FakeConnection connection;
        FakeProvider provider;
        provider.fail(row.kind, 3, L"gone");
        EXPECT_EQ(outcome(table, connection, [&] { provider.operation(0); }), row.text);
        EXPECT_EQ(connection.log, row.ran);
    }
    FakeConnection connection;
    table.call(connection, [] {});
    EXPECT_TRUE(connection.log.empty());
}

TEST(Tables, AKindListedTwiceOrTooManyRetriesIsAProgrammingError) {
    EXPECT_THROW((Table<>{{{Exc::Store, word()}, {Exc::Store, fixed(u"again")}}}), std::logic_error);
    EXPECT_THROW((Table<>{{}, {retryBusy, retryBusy, retryBusy, retryBusy, retryBusy}}),
                 std::logic_error);
}

}  // namespace
}  // namespace jms
