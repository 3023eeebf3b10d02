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
    explicit World(jms::QueueConnection& c)
        : qs(c.createQueueSession(false, 1)),
          ts(dynamic_cast<jms::TopicConnection&>(c).createTopicSession(false, 1)),
          queue(qs->createQueue(u"q")),
          topic(ts->createTopic(u"t")),
          sender(qs->createSender(queue.get())),
          receiver(qs->createReceiver(queue.get())),
          publisher(ts->createPublisher(topic.get())),
          message(qs->createTextMessage(u"m")) {}
    Owned<jms::QueueSession> qs;
    Owned<jms::TopicSession> ts;
    Owned<jms::Queue> queue;
    Owned<jms::Topic> topic;
    Owned<jms::QueueSender> sender;
    Owned<jms::QueueReceiver> receiver;
    Owned<jms::TopicPublisher> publisher;
    Owned<jms::TextMessage> message;
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

struct Operation {
    const char* failing;  // the provider operation that raises
    std::function<void(World&)> call;
    std::function<jms::Session&(World&)> session;
    std::function<bool(World&)> endpointClosed;  // null: nothing to look at
    std::vector<Row> rows;
};

jms::Session& queueSide(World& w) { return *w.qs; }
jms::Session& topicSide(World& w) { return *w.ts; }

// Creation failures that mean the session is gone close it locally.
std::vector<Row> closingRows() {
    return {{"ConnectionIDException", "ConnectionIDException|", State::Closed},
            {"SessionIDException", "SessionIDException|", State::Closed},
            {"BadStateException", "BadStateException|", State::Closed},
            {"TRANSIENT", "SystemException|", State::Closed}};
}

// A producer's or consumer's: itself closed, its session invalidated.
std::vector<Row> invalidatingRows() {
    return {{"ConnectionIDException", "ConnectionIDException|", State::Invalidated, true},
            {"SessionIDException", "SessionIDException|", State::Invalidated, true},
            {"BadStateException", "BadStateException|", State::Invalidated, true},
            {"COMM_FAILURE", "SystemException|", State::Invalidated, true}};
}

// Each of `words` as "word" + suffix, the session left open.
std::vector<Row> fixedRows(std::vector<std::pair<const char*, const char*>> kinds,
                           const std::string& suffix, bool endpointClosed = false) {
    std::vector<Row> rows;
    for (const auto& [exception, word] : kinds) {
        rows.push_back({exception, word + suffix, State::Open, endpointClosed});
    }
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
    auto sender = [](World& w) { return closedEndpoint(*w.sender); };
    auto receiver = [](World& w) { return closedEndpoint(*w.receiver); };
    const std::string consumerCreate = " CltException.ERR_CONSUMER_CREATE|";
    const std::string producerCreate = " CltException.ERR_PRODUCER_CREATE|";
    const auto queueConsumerRows = join({
        fixedRows({Store, Destination, Consumer, Concurrency, Selector, Sec, Transaction}, consumerCreate),
        {resourceRow("svrResource" + consumerCreate), {"ProducerException", "svrProducer: why|"}},
        closingRows()});
    const auto topicConsumerRows = [&](const char* resource) {
        return join({fixedRows({Store, Destination, Consumer, Concurrency, Selector, Sec, Transaction},
                               ": ERR_CONSUMER_CREATE|"),
                     {resourceRow(resource), {"ProducerException", "svrProducer: why|"}},
                     closingRows()});
    };
    const auto sendRows = join({
        fixedRows({Store, Concurrency, Full, MessageX, Sec, Transaction}, "|"),
        {resourceRow("svrResource|"),
         {"DestinationException", "svrDestination  CltException.ERR_PRODUCER_CLOSED|", State::Open, true},
         {"ProducerException", "svrProducer CltException.ERR_PRODUCER_CLOSED|", State::Open, true},
         {"BusyException", "svrBusy: why|"}},
        invalidatingRows()});
    const auto receiveRows = join({
        fixedRows({Store, Concurrency, BadArg, MessageX, Sec, Transaction}, "|"),
        {{"BusyException", "svrBusy|", State::Open, false, 5},
         {"DestinationException", "svrDestination CltException.ERR_CONSUMER_CLOSED|", State::Open, true},
         {"ConsumerException", "svrConsumer CltException.ERR_CONSUMER_CLOSED|", State::Open, true},
         {"FullException", "svrFull: why|"}},
        invalidatingRows()});
    const auto transactionRows = std::vector<Row>{
        {"TransactionException", "svrTransaction CltException::NONE|"},
        {"BadStateException", "BadStateException|"},
        {"SecException", "svrSec CltException::NONE|"},
        {"ConcurrencyException", "svrConcurrency CltException::NONE|"},
        {"ConnectionIDException", "ConnectionIDException|"},
        {"SessionIDException", "SessionIDException|"},
        {"StoreException", "svrStore: why|"},
        {"TRANSIENT", "SystemException|"}};

    return {
        {"createReceiver", [](World& w) { delete w.qs->createReceiver(w.queue.get()); }, queueSide, {},
         queueConsumerRows},
        {"createBrowser", [](World& w) { delete w.qs->createBrowser(w.queue.get(), u"a > 1"); }, queueSide,
         {}, queueConsumerRows},
        {"createSender", [](World& w) { delete w.qs->createSender(w.queue.get()); }, queueSide, {},
         join({fixedRows({Store, Destination, Producer, Concurrency, Sec, Transaction}, producerCreate),
               {resourceRow("svrResource" + producerCreate), {"ConsumerException", "svrConsumer: why|"},
                {"SelectorException", "selector: why|"}},
               closingRows()})},
        {"createSubscriber", [](World& w) { delete w.ts->createSubscriber(w.topic.get()); }, topicSide, {},
         topicConsumerRows("svrResource: ERR_CONSUMER_CREATE|")},
        {"createDurableSubscriber",
         [](World& w) { delete w.ts->createDurableSubscriber(w.topic.get(), u"d"); }, topicSide, {},
         join({topicConsumerRows("svrResource: ERR_SESSION_CREATE|"),
               {{"ConsumerException", "svrConsumer: ERR_CONSUMER_CREATE|", State::Open, false, 4, 18}}})},
        {"createPublisher", [](World& w) { delete w.ts->createPublisher(w.topic.get()); }, topicSide, {},
         join({fixedRows({Store, Destination, Producer, Concurrency, Sec, Transaction}, ": ERR_PRODUCER_CREATE|"),
               {resourceRow("svrResource: ERR_PRODUCER_CREATE|"), {"ConsumerException", "svrConsumer: why|"},
                {"SelectorException", "selector: why|"}},
               closingRows()})},
        {"unsubscribe", [](World& w) { w.ts->unsubscribe(u"d"); }, topicSide, {},
         join({fixedRows({Destination, Consumer, Concurrency, Sec, Store}, ": NONE|"),
               {{"ConnectionIDException", "ConnectionIDException|", State::Closed},
                {"SessionIDException", "SessionIDException|", State::Closed},
                {"BadStateException", "BadStateException|", State::Closed},
                {"TRANSIENT", "SystemException|"}}})},
        {"closeSession", [](World& w) { w.qs->close(); }, queueSide, {},
         {{"StoreException", "svrStore|CltException::ERR_SESSION_CLOSED", State::Closed},
          {"ConnectionIDException", "connectionIDEx|", State::Closed},
          {"SessionIDException", "svrSessID|CltException::ERR_SESSION_CLOSED", State::Closed},
          {"ConcurrencyException", "svrConcurrency|CltException::NONE", State::Closed},
          {"TransactionException", "svrTransaction|CltException::NONE", State::Closed},
          {"SecException", "svrSec|CltException::NONE", State::Closed},
          {"BadStateException", "BadStateException|", State::Closed},
          {"TRANSIENT", "SystemException|", State::Closed},
          {"FullException", "svrFull: why|", State::Closed}}},
        {"commit", [](World& w) { w.qs->commit(); }, queueSide, {}, transactionRows},
        {"rollback", [](World& w) { w.qs->rollback(); }, queueSide, {}, transactionRows},
        {"produce", [](World& w) { w.sender->send(w.message.get()); }, queueSide, sender, sendRows},
        {"produceTo", [](World& w) { w.sender->send(w.queue.get(), w.message.get()); }, queueSide, sender,
         {{"FullException", "svrFull|"},
          {"ProducerException", "svrProducer CltException.ERR_PRODUCER_CLOSED|", State::Open, true},
          {"SessionIDException", "SessionIDException|", State::Invalidated, true}}},
        {"consumeNoBlock", [](World& w) { delete w.receiver->receiveNoWait(); }, queueSide, receiver,
         receiveRows},
        {"consume", [](World& w) { delete w.receiver->receive(); }, queueSide, receiver,
         {{"BusyException", "svrBusy|", State::Open, false, 5},
          {"ConsumerException", "svrConsumer CltException.ERR_CONSUMER_CLOSED|", State::Open, true}}},
        {"consumeTimeOut", [](World& w) { delete w.receiver->receive(100); }, queueSide, receiver,
         {{"StoreException", "svrStore|"},
          {"INTERNAL", "SystemException|", State::Invalidated, true}}},
        {"setMessageListener",
         [](World& w) {
             static struct : jms::MessageListener {
                 void onMessage(jms::Message*) override {}
             } listener;
             w.receiver->setMessageListener(&listener);
         },
         queueSide, receiver,
         join({fixedRows({Concurrency, Sec, Transaction}, "|"),
               {{"DestinationException", "svrDestination CltException.ERR_CONSUMER_CLOSED|", State::Open, true},
                {"ConsumerException", "svrConsumer CltException.ERR_CONSUMER_CLOSED|", State::Open, true},
                {"StoreException", "svrStore: why|"}},
               invalidatingRows()})},
        {"closeProducer", [](World& w) { w.sender->close(); }, queueSide, {},
         join({fixedRows({Store, Destination, Concurrency, Producer, Sec}, ": CltException.ERR_PRODUCER_CLOSED|"),
               invalidatingRows()})},
        {"closeConsumer", [](World& w) { w.receiver->close(); }, queueSide, {},
         {{"StoreException", "svrStore: CltException.ERR_CONSUMER_CLOSED|"},
          {"DestinationException", "svrDestination CltException.ERR_CONSUMER_CLOSED|"},
          {"ConcurrencyException", "svrConcurrency: CltException.ERR_CONSUMER_CLOSED|"},
          {"ConsumerException", "svrConsumer CltException.ERR_CONSUMER_CLOSED|"},
          {"SecException", "svrSec|"},
          {"SessionIDException", "SessionIDException|", State::Invalidated},
          {"ConnectionIDException", "ConnectionIDException|", State::Invalidated},
          {"BadStateException", "BadStateException|", State::Invalidated},
          {"TRANSIENT", "SystemException|", State::Invalidated}}},
    };
}

class Translation : public SessionE2E {};

TEST_F(Translation, EveryProviderFailureReadsAndActsAsItsTableSays) {
    CountedPauses pauses;
    for (const Operation& op : operations()) {
        for (const Row& row : op.rows) {
            SCOPED_TRACE(std::string(op.failing) + " " + row.exception);
            World world(*connection_);
            control_.reset();
            CountedPauses::count() = 0;
            control_.fail(op.failing, row.exception, row.times, row.code, "why");
            EXPECT_EQ(thrownBy([&] { op.call(world); }), row.thrown);
            EXPECT_EQ(control_.calls(op.failing), row.times);
            // Retried answers pause a second each, except Busy, which does not pause.
            const bool pausing = std::string(row.exception) != "BusyException";
            EXPECT_EQ(CountedPauses::count(), pausing ? row.times - 1 : 0);
            EXPECT_EQ(stateOf(op.session(world)), row.session);
            if (op.endpointClosed) {
                EXPECT_EQ(op.endpointClosed(world), row.endpointClosed);
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
        const bool connectionClosed =
            thrownBy([&] { connection->getClientID(); }) == "connectionClosed: getClientID|";
        EXPECT_EQ(connectionClosed, row.session == State::Closed);
    }
}

}  // namespace
}  // namespace qjms::test
