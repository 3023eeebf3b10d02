// QueueRequestor and TopicRequestor over mock sessions: the order of the calls
// they make, what they hand back, and that whatever they create is released
// exactly once, also when creation fails half-way.
#include <memory>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "../message/JmsExpect.h"
#include "MockJms.h"

namespace qjms_test {
namespace {

using ::testing::Action;
using ::testing::InSequence;
using ::testing::Invoke;
using ::testing::Return;
using ::testing::StrictMock;
using ::testing::Throw;

// What tells the two requestors apart: the session and producer operations they use.
struct QueueKind {
    using Requestor = jms::QueueRequestor;
    using Target = jms::Queue*;
    static constexpr const char16_t* nullTexts[] = {
        u"internal: null temporary queue", u"internal: null sender", u"internal: null receiver"};
    static auto& temporary(MockSession& s) { return EXPECT_CALL(s, createTemporaryQueue()); }
    static auto& producer(MockSession& s, Target d) { return EXPECT_CALL(s, createSender(d)); }
    static auto& consumer(MockSession& s, Target d) { return EXPECT_CALL(s, createReceiver(d)); }
    static auto& produce(MockProducer& p, jms::Message* m) { return EXPECT_CALL(p, send(m)); }
};

struct TopicKind {
    using Requestor = jms::TopicRequestor;
    using Target = jms::Topic*;
    static constexpr const char16_t* nullTexts[] = {u"internal: null temporary topic",
                                                    u"internal: null publisher",
                                                    u"internal: null subscriber"};
    static auto& temporary(MockSession& s) { return EXPECT_CALL(s, createTemporaryTopic()); }
    static auto& producer(MockSession& s, Target d) { return EXPECT_CALL(s, createPublisher(d)); }
    static auto& consumer(MockSession& s, Target d) { return EXPECT_CALL(s, createSubscriber(d)); }
    static auto& produce(MockProducer& p, jms::Message* m) { return EXPECT_CALL(p, publish(m)); }
};

// The objects a session would create; each is handed to the requestor only when
// the session is asked for it, the rest stay here.
template <class K>
struct World {
    StrictMock<MockSession> session;
    StrictMock<MockDestination> target;
    StrictMock<MockMessage> message;
    std::unique_ptr<MockDestination> temporary{new StrictMock<MockDestination>};
    std::unique_ptr<MockProducer> producer{new StrictMock<MockProducer>};
    std::unique_ptr<MockConsumer> consumer{new StrictMock<MockConsumer>};
    MockDestination* const tmp = temporary.get();
    MockProducer* const prod = producer.get();
    MockConsumer* const cons = consumer.get();
    const int baseline = Tracked::live();
    int handedOver = 0;

    // Creation steps before `failing` hand over their object; that step throws
    // or returns null; the later ones are never asked for.
    template <class Expectation, class T>
    void answer(Expectation& e, std::unique_ptr<T>& object, int step, int failing, bool null) {
        if (step < failing)
            e.WillOnce(Invoke([this, &object] { return ++handedOver, object.release(); }));
        else if (null)
            e.WillOnce(Return(nullptr));
        else
            e.WillOnce(Throw(jms::IllegalStateException(u"cause")));
    }
    void expectCreation(int failing = 3, bool null = false) {
        answer(K::temporary(session), temporary, 0, failing, null);
        if (failing >= 1) answer(K::producer(session, &target), producer, 1, failing, null);
        if (failing >= 2) answer(K::consumer(session, tmp), consumer, 2, failing, null);
    }
    // Everything handed over has been deleted once; nothing else was.
    void expectHandedOverDeleted() const { EXPECT_EQ(Tracked::live(), baseline - handedOver); }
};

template <class K>
class Requestor : public ::testing::Test {};
using Kinds = ::testing::Types<QueueKind, TopicKind>;
TYPED_TEST_SUITE(Requestor, Kinds);

// Creation and close run in order; every close step runs even when some fail,
// and the first failure is rethrown. Only the destructor deletes what was made.
TYPED_TEST(Requestor, CreatesAndClosesInOrderAndDeletesWhatItMadeOnce) {
    for (bool failing : {false, true}) {
        SCOPED_TRACE(failing ? "close steps fail" : "close steps succeed");
        World<TypeParam> w;
        InSequence order;
        w.expectCreation();
        auto& destroy = EXPECT_CALL(*w.tmp, destroy());
        EXPECT_CALL(*w.prod, close());
        auto& consumerClose = EXPECT_CALL(*w.cons, close());
        EXPECT_CALL(w.session, close());
        if (failing) {
            destroy.WillOnce(Throw(jms::IllegalStateException(u"first")));
            consumerClose.WillOnce(Throw(jms::JMSException(u"second")));
        }
        auto requestor = std::make_unique<typename TypeParam::Requestor>(&w.session, &w.target);
        EXPECT_EQ(Tracked::live(), w.baseline) << "construction must delete nothing";
        if (failing) {
            EXPECT_JMS_THROW(requestor->close(), jms::IllegalStateException, u"first");
        } else {
            requestor->close();
        }
        EXPECT_EQ(Tracked::live(), w.baseline) << "close must delete nothing";
        requestor.reset();
        w.expectHandedOverDeleted();
    }
}

// Step `failing` throws, or returns null, or throws and the undo fails too:
// what was made before it is closed or destroyed, latest first, and deleted;
// the cause reaches the caller.
TYPED_TEST(Requestor, CreationFailureUndoesWhatWasMadeAndPassesTheCauseOn) {
    using K = TypeParam;
    enum Way { Throws, ReturnsNull, UndoFailsToo };
    for (int failing = 0; failing < 3; ++failing) {
        for (Way way : {Throws, ReturnsNull, UndoFailsToo}) {
            SCOPED_TRACE(testing::Message() << "step " << failing << ", way " << way);
            World<K> w;
            InSequence order;
            w.expectCreation(failing, way == ReturnsNull);
            if (failing == 2) {
                auto& close = EXPECT_CALL(*w.prod, close());
                if (way == UndoFailsToo) close.WillOnce(Throw(jms::JMSException(u"closed")));
            }
            if (failing >= 1) {
                auto& destroy = EXPECT_CALL(*w.tmp, destroy());
                if (way == UndoFailsToo) destroy.WillOnce(Throw(jms::JMSException(u"gone")));
            }
            auto construct = [&] { typename K::Requestor requestor(&w.session, &w.target); };
            if (way == ReturnsNull) {
                EXPECT_JMS_THROW(construct(), jms::JMSException, K::nullTexts[failing]);
            } else {
                EXPECT_JMS_THROW(construct(), jms::IllegalStateException, u"cause");
            }
            w.expectHandedOverDeleted();
        }
    }
    EXPECT_JMS_THROW(typename K::Requestor(nullptr, nullptr), jms::JMSException,
                     u"badArg: null session");
}

// Sets the reply address, sends, then waits for the reply; a failure passes
// unchanged and a failed send waits for nothing.
TYPED_TEST(Requestor, RequestSetsReplyAddressSendsThenWaits) {
    using K = TypeParam;
    for (int failing : {0, 1, 2}) {  // nothing, the send, the receive
        SCOPED_TRACE(failing);
        World<K> w;
        w.expectCreation();
        typename K::Requestor requestor(&w.session, &w.target);
        EXPECT_JMS_THROW(delete requestor.request(nullptr), jms::JMSException,
                         u"badArg: null message");
        auto reply = std::make_unique<StrictMock<MockMessage>>();
        jms::Message* const expected = reply.get();
        const jms::IllegalStateException cause(u"cause");
        InSequence order;
        EXPECT_CALL(w.message, setJMSReplyTo(static_cast<jms::Destination*>(w.tmp)));
        auto& produce = K::produce(*w.prod, &w.message);
        if (failing == 1) {
            produce.WillOnce(Throw(cause));
        } else {
            EXPECT_CALL(*w.cons, receive())
                .WillOnce(failing ? Action<Msg()>(Throw(cause)) : Return(reply.release()));
        }
        if (failing == 0) {
            EXPECT_EQ(std::unique_ptr<jms::Message>(requestor.request(&w.message)).get(), expected);
        } else {
            EXPECT_JMS_THROW(delete requestor.request(&w.message), jms::IllegalStateException,
                             u"cause");
        }
    }
}

}  // namespace
}  // namespace qjms_test
