// Provider call translation: words and classification, a site's table of forms,
// the word form of what no site lists, the pre-throw hook, and retries.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <jms/BrokerException.h>

#include "api/ProviderCall.h"
#include "jmsCommon.hh"
#include "notify.hh"
#include "sys/wq.h"

namespace jms {
namespace {

using namespace pcall;
namespace idl = ::zorvane::velt::quorix::corba::jmsCommon;
constexpr uint64_t second = 1000000;

template <class E>
[[noreturn]] void raiseAs(const wchar_t* reason, int32_t code) {
    E e;
    e.reason = reason;
    e.code = code;
    throw e;
}
[[noreturn]] void raiseSystem(const wchar_t*, int32_t code) {
    throw CORBA::TRANSIENT(static_cast<CORBA::ULong>(code), CORBA::COMPLETED_NO);
}

// Every kind in declaration order: its word, its IDL name and how the provider raises it.
struct KindRow {
    Exc kind;
    const char16_t* word;
    const char16_t* name;
    void (*raise)(const wchar_t* reason, int32_t code);
};
#define QJMS_KIND(K, word) {Exc::K, word, u"" #K "Exception", raiseAs<idl::K##Exception>}
const KindRow kinds[] = {
    QJMS_KIND(Store, u"svrStore"),           QJMS_KIND(BadState, u"svrBadState"),
    QJMS_KIND(Busy, u"svrBusy"),             QJMS_KIND(Concurrency, u"svrConcurrency"),
    QJMS_KIND(SessionID, u"svrSessID"),      QJMS_KIND(ConnectionID, u"svrConnID"),
    QJMS_KIND(Destination, u"svrDestination"), QJMS_KIND(Consumer, u"svrConsumer"),
    QJMS_KIND(BadArg, u"svrBadArg"),         QJMS_KIND(Full, u"svrFull"),
    QJMS_KIND(Producer, u"svrProducer"),     QJMS_KIND(Version, u"svrVersion"),
    QJMS_KIND(Message, u"svrMessage"),       QJMS_KIND(Transaction, u"svrTransaction"),
    QJMS_KIND(Push, u"svrPush"),             QJMS_KIND(Resource, u"svrResource"),
    QJMS_KIND(Selector, u"selector"),        QJMS_KIND(MessageLost, u"svrMessageLost"),
    QJMS_KIND(Propagation, u"svrPropagation"), QJMS_KIND(Sec, u"svrSec"),
    {Exc::System, u"SystemException", u"SystemException", raiseSystem},
};
#undef QJMS_KIND
static_assert(std::size(kinds) == excCount);

[[noreturn]] void raise(Exc kind, const wchar_t* reason = L"because", int32_t code = 7) {
    kinds[static_cast<std::size_t>(kind)].raise(reason, code);
    throw 0;  // unreachable
}

// Raises the scripted failures in order, one per call, then answers 5.
struct FakeProvider {
    struct Step {
        Exc kind;
        const wchar_t* reason = L"because";
        int32_t code = 7;
    };
    std::vector<Step> script;
    int calls = 0;
    int operation() {
        const auto n = static_cast<std::size_t>(calls++);
        if (n < script.size()) raise(script[n].kind, script[n].reason, script[n].code);
        return 5;
    }
};
using Script = std::vector<FakeProvider::Step>;

std::mutex pauseLock;
std::vector<uint64_t> pausesTaken;

// Records the retry pauses instead of sleeping while it lives.
struct RecordedPauses {
    RecordedPauses() { pausesTaken.clear(); }
    ~RecordedPauses() { setPause(previous); }
    PauseFn previous = setPause([](uint64_t micros) {
        std::lock_guard<std::mutex> hold(pauseLock);
        pausesTaken.push_back(micros);
    });
};

// How a call ended: its answer, "message|error code" of the translation, or
// "pass" when a CORBA exception reached the caller.
template <class Owner, class Fn>
WString outcome(const Table<Owner>& table, Owner& owner, Fn fn) {
    try {
        return WString(1, static_cast<char16_t>(u'0' + table.call(owner, fn)));
    } catch (const JMSException& e) {
        EXPECT_EQ(typeid(e), typeid(JMSException)) << "translations throw the base class only";
        return e.getMessage() + u"|" + e.getErrorCode();
    } catch (const CORBA::Exception&) {
        return u"pass";
    }
}
WString outcome(const Table<>& table, FakeProvider& provider) {
    NoOwner none;
    return outcome(table, none, [&] { return provider.operation(); });
}

TEST(Classification, EveryExceptionHasItsWordNameReasonAndCode) {
    for (std::size_t i = 0; i < excCount; ++i) {
        const KindRow& row = kinds[i];
        SCOPED_TRACE(static_cast<int>(row.kind));
        EXPECT_EQ(static_cast<std::size_t>(row.kind), i);
        EXPECT_EQ(wordOf(row.kind), row.word);
        EXPECT_EQ(exceptionName(row.kind), row.name);
        try {
            raise(row.kind, L"disk \u00e9 \U0001F600 full", 42);
        } catch (const CORBA::Exception& e) {
            const auto failure = classify(e);
            ASSERT_TRUE(failure);
            EXPECT_EQ(failure->kind, row.kind);
            EXPECT_EQ(failure->code, 42);
            EXPECT_EQ(failure->original, &e);
            EXPECT_EQ(failure->reason, row.kind == Exc::System ? u"" : u"disk \u00e9 \U0001F600 full");
        }
    }
    EXPECT_EQ(classify(CORBA::COMM_FAILURE(3, CORBA::COMPLETED_MAYBE))->kind, Exc::System);
}

std::string ascii(const WString& text) { return std::string(text.begin(), text.end()); }

// "message|error code|linked name|linked repository ID" of what reached the
// caller ("-" for no linked BrokerException), read from a copy that outlives
// the thrown exception; "pass" when a CORBA exception reached it.
template <class Fn>
std::string reached(const Table<>& table, Fn fn) {
    std::unique_ptr<JMSException> kept;
    try {
        table.call(fn);
        return "returned";
    } catch (const JMSException& e) {
        kept = std::make_unique<JMSException>(e);
    } catch (const CORBA::Exception&) {
        return "pass";
    }
    const std::string texts = ascii(kept->getMessage() + u"|" + kept->getErrorCode());
    const auto* linked = dynamic_cast<const BrokerException*>(kept->getLinkedException());
    if (!linked) return texts + "|-";
    return texts + "|" + ascii(linked->getName() + u"|" + linked->getRepositoryId());
}

const std::string contract = "IDL:zorvane/velt/quorix/corba/jmsCommon/";

TEST(Unlisted, WhatNoSiteListsBecomesTheWordFormWithTheOriginalLinked) {
    const Table<> table{{{Exc::Store, word()}, {Exc::Busy, word()}, {Exc::Push, fixed(u"push")}}};
    using NotifyException = ::zorvane::velt::admin::notify::NotifyException;
    const struct {
        std::function<void()> raises;
        std::string reached;
    } rows[] = {
        {[] { raise(Exc::Producer, L"gone"); },
         "svrProducer: gone||ProducerException|" + contract + "ProducerException:1.0"},
        {[] { raise(Exc::MessageLost, L"lost"); },
         "svrMessageLost: lost||MessageLostException|" + contract + "MessageLostException:1.0"},
        {[] { raise(Exc::Propagation, L""); },
         "svrPropagation: ||PropagationException|" + contract + "PropagationException:1.0"},
        // An unreachable provider is never taken for success.
        {[] { raise(Exc::System); }, "SystemException||TRANSIENT|IDL:omg.org/CORBA/TRANSIENT:1.0"},
        {[] { throw NotifyException(L"n", 1); },
         "UserException||NotifyException|IDL:zorvane/velt/admin/notify/NotifyException:1.0"},
        {[] { raise(Exc::Store); }, "svrStore||-"},
    };
    for (const auto& row : rows) EXPECT_EQ(reached(table, row.raises), row.reached);

    try {
        table.call([] { raise(Exc::System, L"", 7); });
    } catch (const JMSException& e) {
        const auto& original = dynamic_cast<BrokerException&>(*e.getLinkedException()).getOriginal();
        EXPECT_EQ(CORBA::TRANSIENT::_downcast(&original)->minor(), 7u);
    }
    // C++ exceptions are the library's own or the runtime's: untouched.
    EXPECT_THROW(table.call([] { throw InvalidDestinationException(u"own"); }),
                 InvalidDestinationException);
    EXPECT_THROW(table.call([] { throw std::runtime_error("x"); }), std::runtime_error);

    int calls = 0;
    table.call([&] { ++calls; });
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(*table.call([] { return std::make_unique<int>(5); }), 5);
    int target = 0;
    EXPECT_EQ(&table.call([&]() -> int& { return target; }), &target);
}

TEST(Unlisted, ASiteCalledInsideAnotherLeavesWhatItDoesNotListToTheOuterOne) {
    const Table<> inner{{{Exc::Store, fixed(u"inner")}}};
    const Table<> outer{{{Exc::ConnectionID, reason(u"outer")}}};
    const auto nested = [&](Exc kind) {
        return reached(outer, [&] { inner.call([&] { raise(kind, L"r"); }); });
    };
    EXPECT_EQ(nested(Exc::Store), "inner||-");
    EXPECT_EQ(nested(Exc::ConnectionID), "svrConnID: r|outer|-");
    EXPECT_EQ(nested(Exc::Sec), "svrSec: r||SecException|" + contract + "SecException:1.0");
    // Outermost again once the nested calls have ended.
    EXPECT_EQ(reached(inner, [] { raise(Exc::Sec, L"r"); }),
              "svrSec: r||SecException|" + contract + "SecException:1.0");
}

// Stands in for a connection: closeLocally is the hook of its sites.
struct FakeConnection {
    std::vector<std::string> log;
    void closeLocally() { log.push_back("closeLocally"); }
    JMSException translate() {
        log.push_back("translate");
        return JMSException(u"delegated");
    }
};

TEST(SiteTables, EachRuleBuildsItsFormAndRunsTheHookFirstOnlyWhenMarked) {
    static const Table<FakeConnection> table{
        {{Exc::ConnectionID, reason(u"CltException::ERR_CONNECTION_CLOSED"), hookFirst},
         {Exc::BadArg, reason(u"CltException::NONE")},
         {Exc::System, word(u"CltException::ERR_CONNECTION_CLOSED"), hookFirst},
         {Exc::Destination, fixed(u"svrDestination CltException.ERR_CONSUMER_CREATE", u"c")},
         {Exc::Store, delegate(&FakeConnection::translate), hookFirst},
         {Exc::SessionID, delegate([](FakeConnection& c) {
              c.log.push_back("lambda");
              return JMSException(u"yielded", u"code");
          })},
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
        {Exc::Destination, {}, u"svrDestination CltException.ERR_CONSUMER_CREATE|c"},
        {Exc::Store, {"closeLocally", "translate"}, u"delegated|"},
        {Exc::SessionID, {"lambda"}, u"yielded|code"},
        {Exc::Resource, {"closeLocally"}, u"svrResource: gone|CltException::NONE"},  // once
        {Exc::Busy, {}, u"svrBusy: gone|"},  // unlisted: no hook
    };
    RecordedPauses pauses;
    for (const auto& row : rows) {
        SCOPED_TRACE(static_cast<int>(row.kind));
        FakeConnection connection;
        FakeProvider provider{Script(3, {row.kind, L"gone"})};
        EXPECT_EQ(outcome(table, connection, [&] { return provider.operation(); }), row.text);
        EXPECT_EQ(connection.log, row.ran);
        EXPECT_EQ(provider.calls, row.kind == Exc::Resource ? 3 : 1);
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

const Table<> connectionCreation{{{Exc::Resource, reason(u"CltException::ERR_CONNECTION_CREATE")},
                                  {Exc::Store, reason(u"CltException::ERR_CONNECTION_CREATE")},
                                  {Exc::System, reason(u"CltException::ERR_CONNECTION_CREATE")}},
                                 {retryResource}};

TEST(Retry, CountsItsAnswersAndPausesBetweenCalls) {
    const Table<> durableCreation{{{Exc::Consumer, fixed(u"svrConsumer: ERR_CONSUMER_CREATE")},
                                   {Exc::Resource, fixed(u"svrResource: ERR_SESSION_CREATE")}},
                                  {retryResource, retryConsumerInUse}};
    const Table<> receive{{{Exc::Busy, word()}}, {retryBusy}};
    const Table<> untranslated{{{Exc::Store, word()}}, {retryResource}};
    const FakeProvider::Step inUse{Exc::Consumer, L"u", 18};
    const struct {
        const char* name;
        const Table<>& table;
        Script script;
        WString result;
        int calls;
        std::size_t pauses;  // each of a second, if any
    } rows[] = {
        {"resource twice", connectionCreation, Script(2, {Exc::Resource}), u"5", 3, 2},
        {"resource thrice: the last reason", connectionCreation,
         {{Exc::Resource, L"a"}, {Exc::Resource, L"b"}, {Exc::Resource, L"third"}},
         u"svrResource: third|CltException::ERR_CONNECTION_CREATE", 3, 2},
        {"another answer ends it", connectionCreation,
         {{Exc::Resource}, {Exc::Store, L"disk"}, {Exc::Resource}},
         u"svrStore: disk|CltException::ERR_CONNECTION_CREATE", 2, 1},
        {"a system exception has no reason", connectionCreation, {{Exc::System}},
         u"SystemException: |CltException::ERR_CONNECTION_CREATE", 1, 0},
        {"retried but unlisted", untranslated, Script(5, {Exc::Resource, L"r"}), u"svrResource: r|",
         3, 2},
        {"busy four times", receive, Script(4, {Exc::Busy}), u"5", 5, 0},
        {"busy five times", receive, Script(6, {Exc::Busy}), u"svrBusy|", 5, 0},
        {"in use three times", durableCreation, Script(3, inUse), u"5", 4, 3},
        {"in use four times", durableCreation, Script(4, inUse),
         u"svrConsumer: ERR_CONSUMER_CREATE|", 4, 3},
        {"another consumer code", durableCreation, {{Exc::Consumer, L"u", 17}},
         u"svrConsumer: ERR_CONSUMER_CREATE|", 1, 0},
        {"separate counts", durableCreation,
         {{Exc::Resource, L"r", 18}, inUse, {Exc::Resource, L"r", 18}, inUse, inUse}, u"5", 6, 5},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        RecordedPauses pauses;
        FakeProvider provider{row.script};
        EXPECT_EQ(outcome(row.table, provider), row.result);
        EXPECT_EQ(provider.calls, row.calls);
        EXPECT_EQ(pausesTaken, std::vector<uint64_t>(row.pauses, second));
    }
}

TEST(Retry, ConcurrentCallsOnOneTableKeepTheirOwnCounts) {
    RecordedPauses pauses;
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 50; ++i) {
                FakeProvider provider{Script(2, {Exc::Resource})};
                if (outcome(connectionCreation, provider) != u"5" || provider.calls != 3) ++wrong;
            }
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_EQ(pausesTaken.size(), 4u * 50u * 2u);
}

TEST(Retry, ThreeResourceAnswersTakeAboutTwoSecondsOfRealTime) {
    FakeProvider provider{Script(3, {Exc::Resource, L"r"})};
    const int64_t start = wqClock();
    EXPECT_EQ(outcome(connectionCreation, provider),
              u"svrResource: r|CltException::ERR_CONNECTION_CREATE");
    const int64_t elapsed = wqClock() - start;
    EXPECT_EQ(provider.calls, 3);
    EXPECT_GE(elapsed, static_cast<int64_t>(2 * second));
    EXPECT_LT(elapsed, static_cast<int64_t>(10 * second));
}

}  // namespace
}  // namespace jms
