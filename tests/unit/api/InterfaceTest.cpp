// The shape of the public interface model: every interface is polymorphic with
// a virtual destructor, shared bases are virtual so that an object offering two
// faces has one base, and the published constants hold their JMS values; all
// checked at compile time.
#include <type_traits>

#include <jms/jms.h>

namespace qjms_test {
namespace {

template <class... T>
constexpr bool interfaceShaped = ((std::is_polymorphic_v<T> && std::has_virtual_destructor_v<T> &&
                                   std::is_copy_assignable_v<T>) && ...);
static_assert(interfaceShaped<
    jms::Destination, jms::Queue, jms::Topic, jms::TemporaryQueue, jms::TemporaryTopic,
    jms::Message, jms::TextMessage, jms::BytesMessage, jms::MapMessage, jms::StreamMessage,
    jms::ObjectMessage, jms::MessageListener, jms::ExceptionListener, jms::MessageProducer,
    jms::QueueSender, jms::TopicPublisher, jms::MessageConsumer, jms::QueueReceiver,
    jms::TopicSubscriber, jms::Enumeration, jms::QueueBrowser, jms::Session, jms::QueueSession,
    jms::TopicSession, jms::ConnectionMetaData, jms::Connection, jms::QueueConnection,
    jms::TopicConnection, jms::ConnectionFactory, jms::QueueConnectionFactory,
    jms::TopicConnectionFactory, jms::ConnectionConsumer, jms::ServerSession,
    jms::ServerSessionPool>);

// The only interface with nothing to implement can be instantiated.
static_assert(!std::is_abstract_v<jms::Destination> && std::is_abstract_v<jms::Queue>);

// Two faces convert to their shared base without ambiguity only if it is virtual in both.
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

static_assert(jms::DeliveryMode::NON_PERSISTENT == 1 && jms::DeliveryMode::PERSISTENT == 2);
static_assert(jms::Session::AUTO_ACKNOWLEDGE == 1 && jms::Session::CLIENT_ACKNOWLEDGE == 2 &&
              jms::Session::DUPS_OK_ACKNOWLEDGE == 3);
static_assert(jms::Message::DEFAULT_DELIVERY_MODE == 2 && jms::Message::DEFAULT_PRIORITY == 4 &&
              jms::Message::DEFAULT_TIME_TO_LIVE == 0);

}  // namespace
}  // namespace qjms_test
