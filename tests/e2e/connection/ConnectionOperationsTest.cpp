// A live connection: client identifier, start, stop, close, session checks,
// how provider failures read and whether they close the connection, and the
// wait of synchronous receives for a start.
#include <chrono>
#include <future>
#include <vector>

#include "ConnectionHarness.h"
#include "sys/wq.h"

namespace qjms::test {
namespace {

const std::string errClosed = "|CltException::ERR_CONNECTION_CLOSED";

class ConnectionOperations : public ConnectionE2E {};

TEST_F(ConnectionOperations, ProviderFailuresTranslateAndCloseAsTheTableSays) {
    struct Case { std::string operation; const char* exception; std::string thrown; bool closes; };
    std::vector<Case> cases = {
        {"setClientID", "BadArgException", "svrBadArg: why|CltException::NONE", false},
        {"setClientID", "TRANSIENT", "SystemException" + errClosed, true},
        {"start", "INTERNAL", "SystemException" + errClosed, true},
        {"stop", "COMM_FAILURE", "SystemException: " + errClosed, true},
        {"closeConnection", "StoreException", "svrStore: why" + errClosed, true},
        {"closeConnection", "TransactionException", "svrTransaction: why" + errClosed, true},
        {"closeConnection", "OBJECT_NOT_EXIST", "SystemException" + errClosed, true},
        // Not in the tables: the word form, no error code, no local close.
        {"setClientID", "PushException", "svrPush: why|", false},
        {"start", "StoreException", "svrStore: why|", false},
        {"closeConnection", "ResourceException", "svrResource: why|", true},
    };
    // Whatever the operation, these mean the connection is gone.
    for (const char* operation : {"setClientID", "start", "stop", "closeConnection"}) {
        cases.push_back({operation, "ConnectionIDException", "svrConnID: why" + errClosed, true});
        cases.push_back({operation, "BadStateException", "svrBadState: why" + errClosed, true});
        cases.push_back({operation, "SecException", "svrSec: why" + errClosed, true});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.operation + " " + c.exception);
        control_.reset();
        auto connection = connect();
        if (c.operation == "stop") connection->start();
        control_.fail(c.operation, c.exception, 1, 0, "why");
        EXPECT_EQ(thrownBy([&] {
                      if (c.operation == "setClientID") connection->setClientID(u"next");
                      if (c.operation == "start") connection->start();
                      if (c.operation == "stop") connection->stop();
                      if (c.operation == "closeConnection") connection->close();
                  }),
                  c.thrown);
        EXPECT_EQ(isClosed(*connection), c.closes);
        // Closing locally tells the provider nothing.
        EXPECT_EQ(control_.calls("closeConnection"), c.operation == "closeConnection" ? 1 : 0);
        if (c.operation == "setClientID" && !c.closes) {
            EXPECT_EQ(connection->getClientID(), u"next");  // kept though refused
        }
    }
}

TEST_F(ConnectionOperations, OnlyAChangeOfStateCallsTheProvider) {
    auto connection = connect("", "", "first");
    connection->stop();
    EXPECT_EQ(control_.calls("stop"), 0) << "stop on a never-started connection";
    // Refused: the flag was set before the call and stays set, so the next
    // start is local.
    control_.fail("start", "StoreException");
    EXPECT_ANY_THROW(connection->start());
    connection->start();
    EXPECT_EQ(control_.calls("start"), 1);
    connection->stop();
    connection->stop();
    EXPECT_EQ(control_.calls("stop"), 1);

    connection->setClientID(u"first");
    // A text the wire cannot carry is refused, again the second time, and never kept.
    const jms::WString withNul(u"a\0b", 3);
    for (int attempt = 0; attempt < 2; ++attempt) {
        EXPECT_EQ(thrownBy([&] { connection->setClientID(withNul); }),
                  "badArg: text contains a NUL character|");
    }
    EXPECT_EQ(connection->getClientID(), u"first");
    EXPECT_EQ(control_.calls("setClientID"), 0);
    connection->setClientID(u"second");
    EXPECT_THAT(control_.last("setClientID"), HasSubstr("\"second\""));
    connection->setClientID(u"");
    EXPECT_THAT(control_.last("setClientID"), HasSubstr("null"));
    connection->setClientID(u"");
    EXPECT_EQ(control_.calls("setClientID"), 2);
}

TEST_F(ConnectionOperations, SessionChecksThenClosedRefusesEveryOperation) {
    auto connection = connect();
    EXPECT_EQ(thrownBy([&] { connection->createQueueSession(false, 2); }), "badAckMode|");
    EXPECT_THROW(connection->createConnectionConsumer(nullptr, u"", nullptr, 1),
                 jms::NotImplementedException);
    connection->close();
    const std::pair<std::string, std::function<void()>> cases[] = {
        {"getClientID", [&] { connection->getClientID(); }},
        {"setClientID", [&] { connection->setClientID(u"x"); }},
        {"getMetaData", [&] { delete connection->getMetaData(); }},
        {"setExceptionListener", [&] { connection->setExceptionListener(nullptr); }},
        {"start", [&] { connection->start(); }},
        {"stop", [&] { connection->stop(); }},
        {"close", [&] { connection->close(); }},
        {"checkCreateSession", [&] { connection->createQueueSession(false, 1); }},
    };
    for (const auto& [operation, call] : cases) {
        EXPECT_EQ(thrownBy(call), "connectionClosed: " + operation + "|");
    }
    // The mode is refused before the closed test.
    EXPECT_EQ(thrownBy([&] { connection->createQueueSession(true, 0); }), "badAckMode|");
    EXPECT_EQ(control_.calls("closeConnection"), 1);
    EXPECT_EQ(control_.calls("createSession"), 0);
}

TEST_F(ConnectionOperations, AGoneProviderFailsCallsWithSystemException) {
    auto connection = connect();
    const std::string ior = server_.ior();
    server_.stop();
    EXPECT_EQ(thrownBy([&] { connection->start(); }), "SystemException" + errClosed);
    EXPECT_TRUE(isClosed(*connection));

    jms::ImplDepFactory entry(wide(ior), u"vol", u"", 4, 0);
    std::unique_ptr<jms::QueueConnectionFactory> factory(entry.createQueueConnectionFactory());
    EXPECT_EQ(thrownBy([&] { delete factory->createQueueConnection(); }),
              "SystemException: |CltException::ERR_CONNECTION_CREATE");
}

struct NoTxProvider : ConnectionE2E {
    NoTxProvider() : ConnectionE2E({"--no-tx", "--driver", "memdrv"}) {}
};

TEST_F(NoTxProvider, TransactedSessionRefusedWithTheProvidersDriverName) {
    auto connection = connect("", "", "", "MEMDRV");
    auto& topic = dynamic_cast<jms::TopicConnection&>(*connection);
    EXPECT_EQ(thrownBy([&] { topic.createTopicSession(true, 1); }), "unsupByDriverTx: memdrv|");
    EXPECT_EQ(control_.calls("createSession"), 0);
}

TEST_F(ConnectionOperations, StartWaitHoldsUntilStartedClosedOrTheDeadline) {
    using Result = jms::CltConnection::StartWait;
    for (bool byStart : {true, false}) {
        auto connection = connect();
        jms::CltConnection& c = impl(*connection);
        const int64_t soon = jms::wqClock() + 30000;
        EXPECT_EQ(c.waitUntilStarted(soon), Result::TimedOut);
        EXPECT_GE(jms::wqClock(), soon);

        auto waiter = std::async(std::launch::async, [&] { return c.waitUntilStarted(); });
        EXPECT_EQ(waiter.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout)
            << "returned while the connection was stopped";
        const auto changed = std::chrono::steady_clock::now();
        if (byStart) connection->start(); else connection->close();
        EXPECT_EQ(waiter.get(), byStart);
        EXPECT_LT(std::chrono::steady_clock::now() - changed, std::chrono::seconds(2));
        // A final state answers at once, even past the deadline.
        EXPECT_EQ(c.waitUntilStarted(jms::wqClock()), byStart ? Result::Started : Result::Closed);
    }
}

}  // namespace
}  // namespace qjms::test
