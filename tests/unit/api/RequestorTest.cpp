// QueueRequestor and TopicRequestor over mock sessions: the order of the
// calls they make, what they hand back, and that whatever they create is
// released exactly once, also when creation fails half-way.

#include <memory>
#include <typeinfo>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "MockJms.h"

namespace qjms_test {
namespace {

using ::testing::InSequence;
using ::testing::Invoke;
using ::testing::Return;
using ::testing::StrictMock;
using ::testing::Throw;

// What tells the two requestors apart: their session's operations and the
// failure the library's own session gives for a temporary destination.
struct QueueKind {
    using Requestor = jms::QueueRequestor;
    using Session = MockQueueSession;
    using Target = MockQueue;
    using Temporary = MockTemporaryQueue;
    using Producer = MockQueueSender;
    using Consumer = MockQueueReceiver;
    using TemporaryFailure = jms::JMSException;
    static WString temporaryFailureText() { return u"notImp: createTemporaryQueue"; }
    static WString nullTemporaryText() { return u"internal: null temporary queue"; }

    static auto& createTemporary(Session& s) { return EXPECT_CALL(s, createTemporaryQueue()); }
    static auto& createProducer(Session& s, Target* t) {
        return EXPECT_CALL(s, createSender(static_cast<jms::Queue*>(t)));
    }
    static auto& createConsumer(Session& s, Temporary* t) {
        return EXPECT_CALL(s, createReceiver(static_cast<jms::Queue*>(t)));
    }
    static auto& produce(Producer& p, jms::Message* m) { return EXPECT_CALL(p, send(m)); }
};

struct TopicKind {
    using Requestor = jms::TopicRequestor;
    using Session = MockTopicSession;
    using Target = MockTopic;
    using Temporary = MockTemporaryTopic;
    using Producer = MockTopicPublisher;
    using Consumer = MockTopicSubscriber;
    using TemporaryFailure = jms::NotImplementedException;
    static WString temporaryFailureText() { return u"createTemporaryTopic"; }
    static WString nullTemporaryText() { return u"internal: null temporary topic"; }

    static auto& createTemporary(Session& s) { return EXPECT_CALL(s, createTemporaryTopic()); }
    static auto& createProducer(Session& s, Target* t) {
        return EXPECT_CALL(s, createPublisher(static_cast<jms::Topic*>(t)));
    }
    static auto& createConsumer(Session& s, Temporary* t) {
        return EXPECT_CALL(s, createSubscriber(static_cast<jms::Topic*>(t)));
    }
    static auto& produce(Producer& p, jms::Message* m) { return EXPECT_CALL(p, publish(m)); }
};

// The message of the exception `call` throws, after checking that it is of
// exactly type E: the requestors pass exceptions on unchanged.
template <class E, class Call>
WString thrownMessage(Call&& call) {
    try {
        call();
    } catch (const jms::JMSException& e) {
        EXPECT_EQ(typeid(e), typeid(E));
        return e.getMessage();
    }
    ADD_FAILURE() << "nothing was thrown";
    return u"<nothing thrown>";
}

template <class K>
class RequestorTest : public ::testing::Test {
protected:
    using Requestor = typename K::Requestor;

    // The objects the session would create. Each is handed to the requestor
    // only when the session is asked for it; the rest stay with the test.
    std::unique_ptr<StrictMock<typename K::Temporary>> temporary =
        std::make_unique<StrictMock<typename K::Temporary>>();
    std::unique_ptr<StrictMock<typename K::Producer>> producer =
        std::make_unique<StrictMock<typename K::Producer>>();
    std::unique_ptr<StrictMock<typename K::Consumer>> consumer =
        std::make_unique<StrictMock<typename K::Consumer>>();
    StrictMock<typename K::Session> session;
    StrictMock<typename K::Target> target;
    StrictMock<MockMessage> message;

    typename K::Temporary* const tmp = temporary.get();
    typename K::Producer* const prod = producer.get();
    typename K::Consumer* const cons = consumer.get();

    template <class T>
    auto handOver(std::unique_ptr<T>& object) {
        return Invoke([this, &object] {
            ++handedOver_;
            return object.release();
        });
    }

    void expectConstruction() {
        K::createTemporary(session).WillOnce(handOver(temporary));
        K::createProducer(session, &target).WillOnce(handOver(producer));
        K::createConsumer(session, tmp).WillOnce(handOver(consumer));
    }

    // Everything handed over has been deleted once; nothing else was.
    void expectHandedOverObjectsDeleted() {
        EXPECT_EQ(Tracked::live(), baseline_ - handedOver_);
    }

private:
    const int baseline_ = Tracked::live();
    int handedOver_ = 0;
};

using Kinds = ::testing::Types<QueueKind, TopicKind>;
class KindNames {
public:
    template <class K>
    static std::string GetName(int) {
        return std::is_same_v<K, QueueKind> ? "Queue" : "Topic";
    }
};

template <class K>
using RequestorConstruction = RequestorTest<K>;
TYPED_TEST_SUITE(RequestorConstruction, Kinds, KindNames);

TYPED_TEST(RequestorConstruction, MakesReplyDestinationThenProducerThenConsumer) {
    {
        InSequence order;
        this->expectConstruction();
    }
    const int live = Tracked::live();
    auto requestor =
        std::make_unique<typename TestFixture::Requestor>(&this->session, &this->target);
    EXPECT_EQ(Tracked::live(), live) << "construction must delete nothing";
    requestor.reset();
    this->expectHandedOverObjectsDeleted();
}

TYPED_TEST(RequestorConstruction, ReplyDestinationFailureCreatesNothingElse) {
    using K = TypeParam;
    K::createTemporary(this->session)
        .WillOnce(Throw(typename K::TemporaryFailure(K::temporaryFailureText())));
    EXPECT_EQ(thrownMessage<typename K::TemporaryFailure>([this] {
                  typename K::Requestor requestor(&this->session, &this->target);
              }),
              K::temporaryFailureText());
    this->expectHandedOverObjectsDeleted();
}

TYPED_TEST(RequestorConstruction, ProducerFailureDestroysReplyDestination) {
    using K = TypeParam;
    InSequence order;
    K::createTemporary(this->session).WillOnce(this->handOver(this->temporary));
    K::createProducer(this->session, &this->target)
        .WillOnce(Throw(jms::InvalidDestinationException(u"badDestType")));
    EXPECT_CALL(*this->tmp, destroy());
    EXPECT_EQ(thrownMessage<jms::InvalidDestinationException>([this] {
                  typename K::Requestor requestor(&this->session, &this->target);
              }),
              u"badDestType");
    this->expectHandedOverObjectsDeleted();
}

TYPED_TEST(RequestorConstruction, ConsumerFailureClosesProducerAndDestroysReplyDestination) {
    using K = TypeParam;
    InSequence order;
    K::createTemporary(this->session).WillOnce(this->handOver(this->temporary));
    K::createProducer(this->session, &this->target).WillOnce(this->handOver(this->producer));
    K::createConsumer(this->session, this->tmp)
        .WillOnce(Throw(jms::JMSException(u"svrStore CltException.ERR_CONSUMER_CREATE")));
    EXPECT_CALL(*this->prod, close());
    EXPECT_CALL(*this->tmp, destroy());
    EXPECT_EQ(thrownMessage<jms::JMSException>([this] {
                  typename K::Requestor requestor(&this->session, &this->target);
              }),
              u"svrStore CltException.ERR_CONSUMER_CREATE");
    this->expectHandedOverObjectsDeleted();
}

TYPED_TEST(RequestorConstruction, FailingUndoDoesNotHideTheCause) {
    using K = TypeParam;
    K::createTemporary(this->session).WillOnce(this->handOver(this->temporary));
    K::createProducer(this->session, &this->target).WillOnce(this->handOver(this->producer));
    K::createConsumer(this->session, this->tmp)
        .WillOnce(Throw(jms::JMSException(u"concurrency: ")));
    EXPECT_CALL(*this->prod, close()).WillOnce(Throw(jms::JMSException(u"producerClosed")));
    EXPECT_CALL(*this->tmp, destroy()).WillOnce(Throw(jms::IllegalStateException(u"gone")));
    EXPECT_EQ(thrownMessage<jms::JMSException>([this] {
                  typename K::Requestor requestor(&this->session, &this->target);
              }),
              u"concurrency: ");
    this->expectHandedOverObjectsDeleted();
}

TYPED_TEST(RequestorConstruction, MissingSessionOrReplyDestinationIsRefused) {
    using K = TypeParam;
    EXPECT_EQ(thrownMessage<jms::JMSException>(
                  [this] { typename K::Requestor requestor(nullptr, &this->target); }),
              u"badArg: null session");

    K::createTemporary(this->session).WillOnce(Return(nullptr));
    EXPECT_EQ(thrownMessage<jms::JMSException>(
                  [this] { typename K::Requestor requestor(&this->session, &this->target); }),
              K::nullTemporaryText());
    this->expectHandedOverObjectsDeleted();
}

template <class K>
using RequestorRequest = RequestorTest<K>;
TYPED_TEST_SUITE(RequestorRequest, Kinds, KindNames);

TYPED_TEST(RequestorRequest, SetsReplyAddressThenSendsThenWaitsForReply) {
    using K = TypeParam;
    this->expectConstruction();
    typename K::Requestor requestor(&this->session, &this->target);

    auto reply = std::make_unique<StrictMock<MockMessage>>();
    jms::Message* const expected = reply.get();
    {
        InSequence order;
        EXPECT_CALL(this->message, setJMSReplyTo(static_cast<jms::Destination*>(this->tmp)));
        K::produce(*this->prod, &this->message);
        EXPECT_CALL(*this->cons, receive()).WillOnce(Return(reply.release()));
    }
    std::unique_ptr<jms::Message> got(requestor.request(&this->message));
    EXPECT_EQ(got.get(), expected);
}

TYPED_TEST(RequestorRequest, SendFailurePassesUnchangedWithoutWaiting) {
    using K = TypeParam;
    this->expectConstruction();
    typename K::Requestor requestor(&this->session, &this->target);

    EXPECT_CALL(this->message, setJMSReplyTo(static_cast<jms::Destination*>(this->tmp)));
    K::produce(*this->prod, &this->message)
        .WillOnce(Throw(jms::MessageFormatException(u"JMSPriority > 9")));
    EXPECT_EQ(thrownMessage<jms::MessageFormatException>(
                  [&] { delete requestor.request(&this->message); }),
              u"JMSPriority > 9");
}

TYPED_TEST(RequestorRequest, ReceiveFailurePassesUnchanged) {
    using K = TypeParam;
    this->expectConstruction();
    typename K::Requestor requestor(&this->session, &this->target);

    EXPECT_CALL(this->message, setJMSReplyTo(static_cast<jms::Destination*>(this->tmp)));
    K::produce(*this->prod, &this->message);
    EXPECT_CALL(*this->cons, receive())
        .WillOnce(Throw(jms::IllegalStateException(u"consumerClosed")));
    EXPECT_EQ(thrownMessage<jms::IllegalStateException>(
                  [&] { delete requestor.request(&this->message); }),
              u"consumerClosed");
}

TYPED_TEST(RequestorRequest, NullMessageIsRefusedBeforeAnyCall) {
    using K = TypeParam;
    this->expectConstruction();
    typename K::Requestor requestor(&this->session, &this->target);
    EXPECT_EQ(thrownMessage<jms::JMSException>([&] { delete requestor.request(nullptr); }),
              u"badArg: null message");
}

template <class K>
using RequestorClose = RequestorTest<K>;
TYPED_TEST_SUITE(RequestorClose, Kinds, KindNames);

TYPED_TEST(RequestorClose, DestroysReplyDestinationThenClosesProducerConsumerAndSession) {
    using K = TypeParam;
    this->expectConstruction();
    auto requestor = std::make_unique<typename K::Requestor>(&this->session, &this->target);
    {
        InSequence order;
        EXPECT_CALL(*this->tmp, destroy());
        EXPECT_CALL(*this->prod, close());
        EXPECT_CALL(*this->cons, close());
        EXPECT_CALL(this->session, close());
    }
    const int liveBeforeClose = Tracked::live();
    requestor->close();
    EXPECT_EQ(Tracked::live(), liveBeforeClose) << "close must not delete";
    requestor.reset();
    this->expectHandedOverObjectsDeleted();
}

TYPED_TEST(RequestorClose, EveryStepRunsAndTheFirstFailureIsRethrown) {
    using K = TypeParam;
    this->expectConstruction();
    typename K::Requestor requestor(&this->session, &this->target);
    {
        InSequence order;
        EXPECT_CALL(*this->tmp, destroy()).WillOnce(Throw(jms::IllegalStateException(u"first")));
        EXPECT_CALL(*this->prod, close());
        EXPECT_CALL(*this->cons, close()).WillOnce(Throw(jms::JMSException(u"second")));
        EXPECT_CALL(this->session, close());
    }
    EXPECT_EQ(thrownMessage<jms::IllegalStateException>([&] { requestor.close(); }), u"first");
}

TYPED_TEST(RequestorClose, RequestAfterCloseFailsAsTheClosedObjectsDo) {
    using K = TypeParam;
    this->expectConstruction();
    typename K::Requestor requestor(&this->session, &this->target);
    EXPECT_CALL(*this->tmp, destroy());
    EXPECT_CALL(*this->prod, close());
    EXPECT_CALL(*this->cons, close());
    EXPECT_CALL(this->session, close());
    requestor.close();

    EXPECT_CALL(this->message, setJMSReplyTo(static_cast<jms::Destination*>(this->tmp)));
    K::produce(*this->prod, &this->message)
        .WillOnce(Throw(jms::IllegalStateException(u"producerClosed")));
    EXPECT_EQ(thrownMessage<jms::IllegalStateException>(
                  [&] { delete requestor.request(&this->message); }),
              u"producerClosed");
}

}  // namespace
}  // namespace qjms_test
