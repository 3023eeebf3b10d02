// The shape of the public interface model: every interface is polymorphic
// with a virtual destructor, shared bases are virtual so that one object has
// one face per base, and the published constants hold their JMS values.

#include <memory>
#include <type_traits>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "MockJms.h"

namespace qjms_test {
namespace {

template <class... T>
struct TypeList {};

using Interfaces = TypeList<
    jms::Destination, jms::Queue, jms::Topic, jms::TemporaryQueue, jms::TemporaryTopic,
    jms::Message, jms::TextMessage, jms::BytesMessage, jms::MapMessage, jms::StreamMessage,
    jms::ObjectMessage, jms::MessageListener, jms::ExceptionListener, jms::MessageProducer,
    jms::QueueSender, jms::TopicPublisher, jms::MessageConsumer, jms::QueueReceiver,
    jms::TopicSubscriber, jms::Enumeration, jms::QueueBrowser, jms::Session, jms::QueueSession,
    jms::TopicSession, jms::ConnectionMetaData, jms::Connection, jms::QueueConnection,
    jms::TopicConnection, jms::ConnectionFactory, jms::QueueConnectionFactory,
    jms::TopicConnectionFactory, jms::ConnectionConsumer, jms::ServerSession,
    jms::ServerSessionPool>;

template <class... T>
constexpr bool allInterfaceShaped(TypeList<T...>) {
    return ((std::is_polymorphic_v<T> && std::has_virtual_destructor_v<T> &&
             std::is_copy_assignable_v<T>) &&
            ...);
}
static_assert(allInterfaceShaped(Interfaces{}));

// The only interface with nothing to implement can be instantiated.
static_assert(!std::is_abstract_v<jms::Destination>);
static_assert(std::is_abstract_v<jms::Queue> && std::is_abstract_v<jms::TemporaryTopic>);

// An implementation offering two faces of one family converts to the shared
// base without ambiguity only if that base is virtual in both.
template <class A, class B>
struct BothFaces : A, B {};
template <class Base, class A, class B>
constexpr bool sharesOneBase = std::is_convertible_v<BothFaces<A, B>*, Base*>;

static_assert(sharesOneBase<jms::Connection, jms::QueueConnection, jms::TopicConnection>);
static_assert(sharesOneBase<jms::ConnectionFactory, jms::QueueConnectionFactory,
                            jms::TopicConnectionFactory>);
static_assert(sharesOneBase<jms::Session, jms::QueueSession, jms::TopicSession>);
static_assert(sharesOneBase<jms::MessageProducer, jms::QueueSender, jms::TopicPublisher>);
static_assert(sharesOneBase<jms::MessageConsumer, jms::QueueReceiver, jms::TopicSubscriber>);
static_assert(sharesOneBase<jms::Destination, jms::Queue, jms::Topic>);
static_assert(sharesOneBase<jms::Destination, jms::TemporaryQueue, jms::TemporaryTopic>);
static_assert(sharesOneBase<jms::Message, jms::TextMessage, jms::BytesMessage>);
static_assert(sharesOneBase<jms::Message, jms::MapMessage, jms::StreamMessage>);
static_assert(sharesOneBase<jms::Message, jms::ObjectMessage, jms::TextMessage>);

// A connection offering both faces, as the library's own does.
class TwoFacedConnection : public jms::QueueConnection,
                           public jms::TopicConnection,
                           public Tracked {
public:
    MOCK_METHOD(WString, getClientID, (), (override));
    MOCK_METHOD(void, setClientID, (const WString&), (override));
    MOCK_METHOD(jms::ConnectionMetaData*, getMetaData, (), (override));
    MOCK_METHOD(void, setExceptionListener, (jms::ExceptionListener*), (override));
    MOCK_METHOD(void, start, (), (override));
    MOCK_METHOD(void, stop, (), (override));
    MOCK_METHOD(void, close, (), (override));
    MOCK_METHOD(jms::QueueSession*, createQueueSession, (bool, int32_t), (override));
    MOCK_METHOD(jms::ConnectionConsumer*, createConnectionConsumer,
                (jms::Queue*, const WString&, jms::ServerSessionPool*, int32_t), (override));
    MOCK_METHOD(jms::TopicSession*, createTopicSession, (bool, int32_t), (override));
    MOCK_METHOD(jms::ConnectionConsumer*, createConnectionConsumer,
                (jms::Topic*, const WString&, jms::ServerSessionPool*, int32_t), (override));
    MOCK_METHOD(jms::ConnectionConsumer*, createDurableConnectionConsumer,
                (jms::Topic*, const WString&, const WString&, jms::ServerSessionPool*, int32_t),
                (override));
};

TEST(InterfaceFaces, BothConnectionFacesReachOneObject) {
    TwoFacedConnection connection;
    jms::QueueConnection* queueFace = &connection;
    jms::TopicConnection* topicFace = &connection;
    EXPECT_EQ(static_cast<jms::Connection*>(queueFace), static_cast<jms::Connection*>(topicFace));
    EXPECT_EQ(dynamic_cast<jms::TopicConnection*>(queueFace), topicFace);

    EXPECT_CALL(connection, getClientID()).WillOnce(::testing::Return(u"client-1"));
    jms::Connection* shared = topicFace;
    EXPECT_EQ(shared->getClientID(), u"client-1");
}

TEST(InterfaceFaces, DeletingThroughAnyFaceDestroysTheWholeObjectOnce) {
    const int live = Tracked::live();
    std::unique_ptr<jms::QueueConnection>(new TwoFacedConnection);
    std::unique_ptr<jms::TopicConnection>(new TwoFacedConnection);
    std::unique_ptr<jms::Connection>(static_cast<jms::QueueConnection*>(new TwoFacedConnection));
    std::unique_ptr<jms::Destination>(new MockTemporaryQueue);
    std::unique_ptr<jms::Queue>(new MockTemporaryQueue);
    std::unique_ptr<jms::MessageProducer>(new MockQueueSender);
    std::unique_ptr<jms::MessageConsumer>(new MockTopicSubscriber);
    std::unique_ptr<jms::Session>(new MockTopicSession);
    std::unique_ptr<jms::Message>(new MockMessage);
    EXPECT_EQ(Tracked::live(), live);
}

TEST(InterfaceFaces, DestinationsAreToldApartByDynamicType) {
    MockTemporaryTopic temporaryTopic;
    MockQueue queue;
    jms::Destination* destinations[] = {&temporaryTopic, &queue};
    EXPECT_NE(dynamic_cast<jms::Topic*>(destinations[0]), nullptr);
    EXPECT_NE(dynamic_cast<jms::TemporaryTopic*>(destinations[0]), nullptr);
    EXPECT_EQ(dynamic_cast<jms::Queue*>(destinations[0]), nullptr);
    EXPECT_NE(dynamic_cast<jms::Queue*>(destinations[1]), nullptr);
    EXPECT_EQ(dynamic_cast<jms::TemporaryQueue*>(destinations[1]), nullptr);

    // A plain Destination is a valid object of its own, of neither kind.
    std::unique_ptr<jms::Destination> plain = std::make_unique<jms::Destination>();
    jms::Destination* unknown = destinations[1] == &queue ? plain.get() : destinations[1];
    EXPECT_EQ(dynamic_cast<jms::Queue*>(unknown), nullptr);
    EXPECT_EQ(dynamic_cast<jms::Topic*>(unknown), nullptr);
}

TEST(InterfaceConstants, HoldTheirJmsValues) {
    struct Row {
        const char* name;
        int64_t actual;
        int64_t expected;
    };
    const Row rows[] = {
        {"DeliveryMode::NON_PERSISTENT", jms::DeliveryMode::NON_PERSISTENT, 1},
        {"DeliveryMode::PERSISTENT", jms::DeliveryMode::PERSISTENT, 2},
        {"Session::AUTO_ACKNOWLEDGE", jms::Session::AUTO_ACKNOWLEDGE, 1},
        {"Session::CLIENT_ACKNOWLEDGE", jms::Session::CLIENT_ACKNOWLEDGE, 2},
        {"Session::DUPS_OK_ACKNOWLEDGE", jms::Session::DUPS_OK_ACKNOWLEDGE, 3},
        {"Message::DEFAULT_DELIVERY_MODE", jms::Message::DEFAULT_DELIVERY_MODE, 2},
        {"Message::DEFAULT_PRIORITY", jms::Message::DEFAULT_PRIORITY, 4},
        {"Message::DEFAULT_TIME_TO_LIVE", jms::Message::DEFAULT_TIME_TO_LIVE, 0},
    };
    for (const Row& row : rows) EXPECT_EQ(row.actual, row.expected) << row.name;
}

}  // namespace
}  // namespace qjms_test
