// QueueRequestor and TopicRequestor over mock sessions: the order of the calls
// they make, what they hand back, and that whatever they create is released
// exactly once, also when creation fails half-way.
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
    template <class T>
    using Made = std::unique_ptr<StrictMock<T>>;
    Made<MockDestination> temporary = std::make_unique<StrictMock<MockDestination>>();
    Made<MockProducer> producer = std::make_unique<StrictMock<MockProducer>>();
    Made<MockConsumer> consumer = std::make_unique<StrictMock<MockConsumer>>();
    MockDestination* const tmp = temporary.get();
    MockProducer* const prod = producer.get();
    MockConsumer* const cons = consumer.get();
    const int baseline = Tracked::live();
    int handedOver = 0;

    // Creation step `step` of three answers with its object, or, when it is the
    // failing step, with an exception or a null result.
    template <class Expectation, class T>
    void answer(Expectation& e, std::unique_ptr<T>& object, int step, int failing, bool null) {
        if (step < failing) {
            e.WillOnce(Invoke([this, &object] {
                ++handedOver;
                return object.release();
            }));
        } else if (null) {
            e.WillOnce(Return(nullptr));
        } else {
            e.WillOnce(Throw(jms::IllegalStateException(u"cause")));
        }
    }
    void expectCreation(int failing = 3, bool null = false) {
        answer(K::temporary(session), temporary, 0, failing, null);
        if (failing >= 1) answer(K::producer(session, &target), producer, 1, failing, null);
        if (failing >= 2) answer(K::consumer(session, tmp), consumer, 2, failing, null);
    }
    // Everything handed over has been deleted once; nothing else was.
    void expectHandedOverDeleted() const { EXPECT_EQ(Tracked::live(), baseline - handedOver); }
};

// Expects `call` to throw exactly E with `text`: the requestors pass exceptions on unchanged.
template <class E, class Call>
void expectThrown(Call&& call, const WString& text) {
    try {
        call();
        ADD_FAILURE() << "nothing was thrown";
    } catch (const jms::JMSException& e) {
        EXPECT_EQ(typeid(e), typeid(E));
        EXPECT_EQ(e.getMessage(), text);
    }
}

template <class K>
class Requestor : public ::testing::Test {};
using Kinds = ::testing::Types<QueueKind, TopicKind>;
struct KindNames {
    template <class K>
    static std::string GetName(int) {
        return std::is_same_v<K, QueueKind> ? "Queue" : "Topic";
    }
};
TYPED_TEST_SUITE(Requestor, Kinds, KindNames);

TYPED_TEST(Requestor, CreatesAndClosesInOrderAndDeletesWhatItMadeOnce) {
    World<TypeParam> w;
    InSequence order;
    w.expectCreation();
    EXPECT_CALL(*w.tmp, destroy());
    EXPECT_CALL(*w.prod, close());
    EXPECT_CALL(*w.cons, close());
    EXPECT_CALL(w.session, close());
    auto requestor = std::make_unique<typename TypeParam::Requestor>(&w.session, &w.target);
    EXPECT_EQ(Tracked::live(), w.baseline) << "construction must delete nothing";
    requestor->close();
    EXPECT_EQ(Tracked::live(), w.baseline) << "close must delete nothing";
    requestor.reset();
    w.expectHandedOverDeleted();

    expectThrown<jms::JMSException>([] { typename TypeParam::Requestor(nullptr, nullptr); },
                                    u"badArg: null session");
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
                expectThrown<jms::JMSException>(construct, K::nullTexts[failing]);
            } else {
                expectThrown<jms::IllegalStateException>(construct, u"cause");
            }
            w.expectHandedOverDeleted();
        }
    }
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
        expectThrown<jms::JMSException>([&] { delete requestor.request(nullptr); },
                                        u"badArg: null message");
        auto reply = std::make_unique<StrictMock<MockMessage>>();
        jms::Message* const expected = reply.get();
        const jms::IllegalStateException cause(u"cause");
        InSequence order;
        EXPECT_CALL(w.message, setJMSReplyTo(static_cast<jms::Destination*>(w.tmp)));
        auto& produce = K::produce(*w.prod, &w.message);
        if (failing == 1) {
            produce.WillOnce(Throw(cause));
        } else if (failing == 2) {
            EXPECT_CALL(*w.cons, receive()).WillOnce(Throw(cause));
        } else {
            EXPECT_CALL(*w.cons, receive()).WillOnce(Return(reply.release()));
        }
        if (failing == 0) {
            std::unique_ptr<jms::Message> got(requestor.request(&w.message));
            EXPECT_EQ(got.get(), expected);
        } else {
            expectThrown<jms::IllegalStateException>([&] { delete requestor.request(&w.message); },
                                                     u"cause");
        }
    }
}

// Every step runs, in order, even when some fail; the first failure is rethrown.
TYPED_TEST(Requestor, CloseRunsEveryStepAndRethrowsTheFirstFailure) {
    World<TypeParam> w;
    w.expectCreation();
    typename TypeParam::Requestor requestor(&w.session, &w.target);
    InSequence order;
    EXPECT_CALL(*w.tmp, destroy()).WillOnce(Throw(jms::IllegalStateException(u"first")));
    EXPECT_CALL(*w.prod, close());
    EXPECT_CALL(*w.cons, close()).WillOnce(Throw(jms::JMSException(u"second")));
    EXPECT_CALL(w.session, close());
    expectThrown<jms::IllegalStateException>([&] { requestor.close(); }, u"first");
}

}  // namespace
}  // namespace qjms_test
