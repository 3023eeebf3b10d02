// A live connection: client identifier, start, stop, close, session checks,
// and how provider failures read and whether they close the connection.
#include "ConnectionHarness.h"

namespace qjms::test {
namespace {

const std::string errClosed = "CltException::ERR_CONNECTION_CLOSED";

class ConnectionOperations : public ConnectionE2E {};

bool isClosed(jms::Connection& c) {
    return thrownBy([&] { c.getClientID(); }).message == "connectionClosed: getClientID";
}

TEST_F(ConnectionOperations, ProviderFailuresTranslateAndCloseAsTheTableSays) {
    enum Op { SetClientID, Start, Stop, Close };
    struct Case { Op op; const char* operation; const char* exception; std::string message;
                  std::string errorCode; bool closes; };
    const Case cases[] = {
        {SetClientID, "setClientID", "ConnectionIDException", "svrConnID: why", errClosed, true},
        {SetClientID, "setClientID", "BadStateException", "svrBadState: why", errClosed, true},
        {SetClientID, "setClientID", "SecException", "svrSec: why", errClosed, true},
        {SetClientID, "setClientID", "BadArgException", "svrBadArg: why", "CltException::NONE", false},
        {SetClientID, "setClientID", "TRANSIENT", "SystemException", errClosed, true},
        {Start, "start", "ConnectionIDException", "svrConnID: why", errClosed, true},
        {Start, "start", "BadStateException", "svrBadState: why", errClosed, true},
        {Start, "start", "SecException", "svrSec: why", errClosed, true},
        {Start, "start", "INTERNAL", "SystemException", errClosed, true},
        {Stop, "stop", "ConnectionIDException", "svrConnID: why", errClosed, true},
        {Stop, "stop", "BadStateException", "svrBadState: why", errClosed, true},
        {Stop, "stop", "SecException", "svrSec: why", errClosed, true},
        {Stop, "stop", "COMM_FAILURE", "SystemException: ", errClosed, true},
        {Close, "closeConnection", "StoreException", "svrStore: why", errClosed, true},
        {Close, "closeConnection", "TransactionException", "svrTransaction: why", errClosed, true},
        {Close, "closeConnection", "ConnectionIDException", "svrConnID: why", errClosed, true},
        {Close, "closeConnection", "BadStateException", "svrBadState: why", errClosed, true},
        {Close, "closeConnection", "SecException", "svrSec: why", errClosed, true},
        {Close, "closeConnection", "OBJECT_NOT_EXIST", "SystemException", errClosed, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.operation) + " " + c.exception);
        control_.reset();
        auto connection = connect();
        if (c.op == Stop) connection->start();
        control_.fail(c.operation, c.exception, 1, 0, "why");
        Thrown t = thrownBy([&] {
            switch (c.op) {
            case SetClientID: connection->setClientID(u"next"); break;
            case Start: connection->start(); break;
            case Stop: connection->stop(); break;
            case Close: connection->close(); break;
            }
        });
        EXPECT_EQ(t.message, c.message);
        EXPECT_EQ(t.errorCode, c.errorCode);
        EXPECT_EQ(isClosed(*connection), c.closes);
        // Closing locally tells the provider nothing.
        if (c.op != Close) {
            EXPECT_EQ(control_.calls("closeConnection"), 0);
        }
        if (c.op == SetClientID && !c.closes) {
            EXPECT_EQ(connection->getClientID(), u"next");
        }
    }
}

TEST_F(ConnectionOperations, UnhandledProviderExceptionsPassThroughAndKeepTheConnection) {
    auto connection = connect();
    control_.fail("start", "StoreException", 1, 0, "odd");
    EXPECT_THROW(connection->start(), zorvane::velt::quorix::corba::jmsCommon::StoreException);
    EXPECT_FALSE(isClosed(*connection));
    // The flag was set before the call and stays set: a second start is local.
    connection->start();
    EXPECT_EQ(control_.calls("start"), 1);
}

TEST_F(ConnectionOperations, CallsInTheCurrentStateMakeNoRemoteCall) {
    auto connection = connect("", "", "first");
    connection->stop();
    EXPECT_EQ(control_.calls("stop"), 0) << "stop on a never-started connection";
    connection->start();
    connection->start();
    EXPECT_EQ(control_.calls("start"), 1);
    connection->stop();
    connection->stop();
    EXPECT_EQ(control_.calls("stop"), 1);

    connection->setClientID(u"first");
    EXPECT_EQ(control_.calls("setClientID"), 0);
    connection->setClientID(u"second");
    EXPECT_EQ(control_.calls("setClientID"), 1);
    EXPECT_NE(control_.last("setClientID").find("\"second\""), std::string::npos);
    connection->setClientID(u"");
    EXPECT_NE(control_.last("setClientID").find("null"), std::string::npos)
        << control_.last("setClientID");
    connection->setClientID(u"");
    EXPECT_EQ(control_.calls("setClientID"), 2);

    // One connection, one client identifier, whichever face is used.
    auto& topic = dynamic_cast<jms::TopicConnection&>(*connection);
    topic.setClientID(u"third");
    EXPECT_EQ(connection->getClientID(), u"third");
    EXPECT_EQ(control_.connectionOf("third"), cidOf(topic));
}

TEST_F(ConnectionOperations, ClosedConnectionRefusesEveryOperation) {
    auto connection = connect();
    connection->close();
    EXPECT_EQ(control_.calls("closeConnection"), 1);
    struct Case { const char* message; std::function<void()> call; };
    const Case cases[] = {
        {"connectionClosed: getClientID", [&] { connection->getClientID(); }},
        {"connectionClosed: setClientID", [&] { connection->setClientID(u"x"); }},
        {"connectionClosed: getMetaData", [&] { delete connection->getMetaData(); }},
        {"connectionClosed: setExceptionListener", [&] { connection->setExceptionListener(nullptr); }},
        {"connectionClosed: start", [&] { connection->start(); }},
        {"connectionClosed: stop", [&] { connection->stop(); }},
        {"connectionClosed: close", [&] { connection->close(); }},
        {"connectionClosed: checkCreateSession", [&] { connection->createQueueSession(false, 1); }},
    };
    for (const Case& c : cases) {
        Thrown t = thrownBy(c.call);
        EXPECT_EQ(t.message, c.message);
        EXPECT_EQ(t.errorCode, "");
    }
    EXPECT_EQ(control_.calls("closeConnection"), 1);
}

TEST_F(ConnectionOperations, SessionChecksComeInOrder) {
    auto connection = connect();
    EXPECT_EQ(thrownBy([&] { connection->createQueueSession(false, 2); }).message, "badAckMode");
    EXPECT_THROW(connection->createConnectionConsumer(nullptr, u"", nullptr, 1),
                 jms::NotImplementedException);
    connection->close();
    // The mode is refused before the closed test.
    EXPECT_EQ(thrownBy([&] { connection->createQueueSession(true, 0); }).message, "badAckMode");
    EXPECT_EQ(control_.calls("createSession"), 0);
}

class NoTxProvider : public ConnectionE2E {
protected:
    NoTxProvider() : ConnectionE2E({"--no-tx", "--driver", "memdrv"}) {}
};

TEST_F(NoTxProvider, TransactedSessionRefusedWithTheProvidersDriverName) {
    auto connection = connect("", "", "", "MEMDRV");
    auto& topic = dynamic_cast<jms::TopicConnection&>(*connection);
    EXPECT_EQ(thrownBy([&] { topic.createTopicSession(true, 1); }).message,
              "unsupByDriverTx: memdrv");
    EXPECT_EQ(control_.calls("createSession"), 0);
}

TEST_F(ConnectionOperations, StartAfterTheProviderDiedFailsAndClosesLocally) {
    auto connection = connect();
    server_.stop();
    Thrown t = thrownBy([&] { connection->start(); });
    EXPECT_EQ(t.message, "SystemException");
    EXPECT_EQ(t.errorCode, errClosed);
    EXPECT_TRUE(isClosed(*connection));
}

}  // namespace
}  // namespace qjms::test
