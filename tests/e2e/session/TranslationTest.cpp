// How every provider failure of sessions, producers and consumers reads, and
// what it leaves behind: one table per operation, each row driven by the
// server's "fail" command. Retry pauses are counted, not slept.
#include <functional>
#include <vector>

#include "SessionHarness.h"

namespace qjms::test {
namespace {

using State = SessionState;

// Everything an operation may act on, made fresh for each row.
struct World {
    OnQueue q;
    Owned<jms::TopicSession> ts;
    Owned<jms::Topic> topic{ts->createTopic(u"t")};
    Owned<jms::TextMessage> message{q.session->createTextMessage(u"m")};
};

// A fault and what the caller sees: "message|error code", the session's state
// afterwards, and whether the producer or consumer acted on is closed.
struct Row {
    const char* exception;
    std::string thrown;
    State session = State::Open;
    bool endpointClosed = false;
    int times = 1;  // answers with the fault before the operation gives up
    int code = 0;
};

enum Side { queueSide, topicSide, senderSide, receiverSide };  // the session, and the endpoint looked at

struct Operation {
    const char* failing;  // the provider operation that raises
    std::function<void(World&)> call;
    Side side;
    std::vector<Row> rows;
};

// The answers that mean the session is gone, and a system exception
// (none when `system` is null), all leaving the same state.
std::vector<Row> goneRows(State state, bool endpointClosed = false, const char* system = "TRANSIENT") {
    std::vector<Row> rows;
    for (const char* gone : {"ConnectionIDException", "SessionIDException", "BadStateException"}) {
        rows.push_back({gone, gone + std::string("|"), state, endpointClosed});
    }
    if (system) rows.push_back({system, "SystemException|", state, endpointClosed});
    return rows;
}

// Each of `kinds` as its word + suffix, the session left open.
std::vector<Row> fixedRows(std::vector<std::pair<const char*, const char*>> kinds,
                           const std::string& suffix, bool endpointClosed = false) {
    std::vector<Row> rows;
    for (const auto& [exception, word] : kinds) rows.push_back({exception, word + suffix, State::Open, endpointClosed});
    return rows;
}

std::vector<Row> join(std::initializer_list<std::vector<Row>> parts) {
    std::vector<Row> all;
    for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

const std::pair<const char*, const char*> Store{"StoreException", "svrStore"},
    Destination{"DestinationException", "svrDestination"},
    Consumer{"ConsumerException", "svrConsumer"}, Producer{"ProducerException", "svrProducer"},
    Concurrency{"ConcurrencyException", "svrConcurrency"},
    Selector{"SelectorException", "selector"}, Sec{"SecException", "svrSec"},
    Transaction{"TransactionException", "svrTransaction"}, Full{"FullException", "svrFull"},
    MessageX{"MessageException", "svrMessage"}, BadArg{"BadArgException", "svrBadArg"};

Row resourceRow(const std::string& thrown) { return {"ResourceException", thrown, State::Open, false, 3}; }

std::vector<Operation> operations() {
    const std::string consumerClosed = " CltException.ERR_CONSUMER_CLOSED|";
    const auto createRows = [](std::vector<std::pair<const char*, const char*>> kinds, const std::string& suffix,
                               const std::string& resource, std::vector<Row> others) {
        return join({fixedRows(kinds, suffix), {resourceRow(resource)}, others, goneRows(State::Closed)});
    };
    const auto consumerRows = [&](const std::string& suffix, const std::string& resource) {
        return createRows({Store, Destination, Consumer, Concurrency, Selector, Sec, Transaction}, suffix, resource,
                          {{"ProducerException", "svrProducer: why|"}});
    };
    const auto producerRows = [&](const std::string& suffix) {
        return createRows({Store, Destination, Producer, Concurrency, Sec, Transaction}, suffix, "svrResource" + suffix,
                          {{"ConsumerException", "svrConsumer: why|"}, {"SelectorException", "selector: why|"}});
    };
    const auto queueConsumerRows =
        consumerRows(" CltException.ERR_CONSUMER_CREATE|", "svrResource CltException.ERR_CONSUMER_CREATE|");
    const auto transactionRows = join({fixedRows({Transaction, Sec, Concurrency}, " CltException::NONE|"),
                                       {{"StoreException", "svrStore: why|"}}, goneRows(State::Open)});
    const auto invalidating = goneRows(State::Invalidated, true, "COMM_FAILURE");

    return {
        {"createReceiver", [](World& w) { delete w.q.session->createReceiver(w.q.queue.get()); }, queueSide,
         queueConsumerRows},
        {"createBrowser", [](World& w) { delete w.q.session->createBrowser(w.q.queue.get(), u"a > 1"); },
         queueSide, queueConsumerRows},
        {"createSender", [](World& w) { delete w.q.session->createSender(w.q.queue.get()); }, queueSide,
         producerRows(" CltException.ERR_PRODUCER_CREATE|")},
        {"createSubscriber", [](World& w) { delete w.ts->createSubscriber(w.topic.get()); }, topicSide,
         consumerRows(": ERR_CONSUMER_CREATE|", "svrResource: ERR_CONSUMER_CREATE|")},
        {"createDurableSubscriber", [](World& w) { delete w.ts->createDurableSubscriber(w.topic.get(), u"d"); },
         topicSide,
         join({consumerRows(": ERR_CONSUMER_CREATE|", "svrResource: ERR_SESSION_CREATE|"),
               {{"ConsumerException", "svrConsumer: ERR_CONSUMER_CREATE|", State::Open, false, 4, 18}}})},
        {"createPublisher", [](World& w) { delete w.ts->createPublisher(w.topic.get()); }, topicSide,
         producerRows(": ERR_PRODUCER_CREATE|")},
        {"unsubscribe", [](World& w) { w.ts->unsubscribe(u"d"); }, topicSide,
         join({fixedRows({Destination, Consumer, Concurrency, Sec, Store}, ": NONE|"),
               goneRows(State::Closed, false, nullptr), {{"TRANSIENT", "SystemException|"}}})},
        {"closeSession", [](World& w) { w.q.session->close(); }, queueSide,
         {{"StoreException", "svrStore|CltException::ERR_SESSION_CLOSED", State::Closed},
          {"ConnectionIDException", "connectionIDEx|", State::Closed},
          {"SessionIDException", "svrSessID|CltException::ERR_SESSION_CLOSED", State::Closed},
          {"ConcurrencyException", "svrConcurrency|CltException::NONE", State::Closed},
          {"TransactionException", "svrTransaction|CltException::NONE", State::Closed},
          {"SecException", "svrSec|CltException::NONE", State::Closed},
          {"BadStateException", "BadStateException|", State::Closed},
          {"TRANSIENT", "SystemException|", State::Closed},
          {"FullException", "svrFull: why|", State::Closed}}},
        {"commit", [](World& w) { w.q.session->commit(); }, queueSide, transactionRows},
        {"rollback", [](World& w) { w.q.session->rollback(); }, queueSide, transactionRows},
        {"produce", [](World& w) { w.q.sender->send(w.message.get()); }, senderSide,
         join({fixedRows({Store, Concurrency, Full, MessageX, Sec, Transaction}, "|"),
               {resourceRow("svrResource|"),
                {"DestinationException", "svrDestination  CltException.ERR_PRODUCER_CLOSED|", State::Open, true},
                {"ProducerException", "svrProducer CltException.ERR_PRODUCER_CLOSED|", State::Open, true},
                {"BusyException", "svrBusy: why|"}},
               invalidating})},
        {"produceTo", [](World& w) { w.q.sender->send(w.q.queue.get(), w.message.get()); }, senderSide,
         {{"FullException", "svrFull|"},
          {"ProducerException", "svrProducer CltException.ERR_PRODUCER_CLOSED|", State::Open, true},
          {"SessionIDException", "SessionIDException|", State::Invalidated, true}}},
        {"consumeNoBlock", [](World& w) { delete w.q.receiver->receiveNoWait(); }, receiverSide,
         join({fixedRows({Store, Concurrency, BadArg, MessageX, Sec, Transaction}, "|"),
               fixedRows({Destination, Consumer}, consumerClosed, true),
               {{"BusyException", "svrBusy|", State::Open, false, 5}, {"FullException", "svrFull: why|"}},
               invalidating})},
        {"consume", [](World& w) { delete w.q.receiver->receive(); }, receiverSide,
         join({fixedRows({Consumer}, consumerClosed, true), {{"BusyException", "svrBusy|", State::Open, false, 5}}})},
        {"consumeTimeOut", [](World& w) { delete w.q.receiver->receive(100); }, receiverSide,
         {{"StoreException", "svrStore|"}, {"INTERNAL", "SystemException|", State::Invalidated, true}}},
        {"setMessageListener",
         [](World& w) {
             static struct : jms::MessageListener {
                 void onMessage(jms::Message*) override {}
             } listener;
             w.q.receiver->setMessageListener(&listener);
         },
         receiverSide,
         join({fixedRows({Concurrency, Sec, Transaction}, "|"), fixedRows({Destination, Consumer}, consumerClosed, true),
               {{"StoreException", "svrStore: why|"}}, invalidating})},
        {"closeProducer", [](World& w) { w.q.sender->close(); }, queueSide,
         join({fixedRows({Store, Destination, Concurrency, Producer, Sec}, ": CltException.ERR_PRODUCER_CLOSED|"),
               invalidating})},
        {"closeConsumer", [](World& w) { w.q.receiver->close(); }, queueSide,
         join({fixedRows({Store, Concurrency}, ": CltException.ERR_CONSUMER_CLOSED|"),
               fixedRows({Destination, Consumer}, consumerClosed), {{"SecException", "svrSec|"}},
               goneRows(State::Invalidated)})},
    };
}

class Translation : public SessionE2E {};

TEST_F(Translation, EveryProviderFailureReadsAndActsAsItsTableSays) {
    CountedPauses pauses;
    for (const Operation& op : operations()) {
        for (const Row& row : op.rows) {
            SCOPED_TRACE(std::string(op.failing) + " " + row.exception);
            World world{onQueue(u"q"), topicSession()};
            control_.reset();
            CountedPauses::count() = 0;
            control_.fail(op.failing, row.exception, row.times, row.code, "why");
            EXPECT_EQ(thrownBy([&] { op.call(world); }), row.thrown);
            EXPECT_EQ(control_.calls(op.failing), row.times);
            // Retried answers pause a second each, except Busy, which does not pause.
            const bool pausing = std::string(row.exception) != "BusyException";
            EXPECT_EQ(CountedPauses::count(), pausing ? row.times - 1 : 0);
            jms::Session& session = op.side == topicSide ? static_cast<jms::Session&>(*world.ts) : *world.q.session;
            EXPECT_EQ(stateOf(session), row.session);
            if (op.side == senderSide) {
                EXPECT_EQ(closedEndpoint(*world.q.sender), row.endpointClosed);
            }
            if (op.side == receiverSide) {
                EXPECT_EQ(closedEndpoint(*world.q.receiver), row.endpointClosed);
            }
        }
    }
}

TEST_F(Translation, SessionCreationFailuresOwnTextOrTheConnectionsWhenItIsGone) {
    CountedPauses pauses;
    const std::string closed = "|CltException::ERR_CONNECTION_CLOSED";
    const Row rows[] = {
        {"StoreException", "svrStore: CltException::ERR_SESSION_CREATE|"},
        {"TransactionException", "svrTransaction: CltException::ERR_SESSION_CREATE|"},
        {"BadArgException", "svrBadArg: CltException::ERR_SESSION_CREATE|"},
        {"SecException", "svrSec: CltException::ERR_SESSION_CREATE|"},
        resourceRow("svrResource: CltException::ERR_SESSION_CREATE|"),
        {"ConcurrencyException", "svrConcurrency: why|"},
        {"ConnectionIDException", "svrConnID: why" + closed, State::Closed},
        {"BadStateException", "svrBadState: why" + closed, State::Closed},
        {"TRANSIENT", "SystemException" + closed, State::Closed},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.exception);
        auto connection = connect();
        control_.reset();
        control_.fail("createSession", row.exception, row.times, 0, "why");
        EXPECT_EQ(thrownBy([&] { delete connection->createQueueSession(false, 1); }), row.thrown);
        EXPECT_EQ(control_.calls("createSession"), row.times);
        EXPECT_EQ(isClosed(*connection), row.session == State::Closed);
    }
}

}  // namespace
}  // namespace qjms::test
