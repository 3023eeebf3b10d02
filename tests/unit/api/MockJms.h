#ifndef QJMS_TESTS_API_MOCKJMS_H
#define QJMS_TESTS_API_MOCKJMS_H

// Mocks of the public interfaces, for code written purely against them.

#include <gmock/gmock.h>

#include <jms/jms.h>

namespace qjms_test {

using jms::ByteArray;
using jms::WString;
using jms::WStringList;

// Counts the mock objects alive, so a test can tell that nothing leaked or
// was deleted twice.
class Tracked {
public:
    Tracked() { ++live_; }
    Tracked(const Tracked&) = delete;
    Tracked& operator=(const Tracked&) = delete;
    ~Tracked() { --live_; }
    static int live() { return live_; }

private:
    static inline int live_ = 0;
};

class MockMessage : public jms::Message, public Tracked {
public:
    MOCK_METHOD(WString, getJMSMessageID, (), (override));
    MOCK_METHOD(void, setJMSMessageID, (const WString&), (override));
    MOCK_METHOD(int64_t, getJMSTimestamp, (), (override));
    MOCK_METHOD(void, setJMSTimestamp, (int64_t), (override));
    MOCK_METHOD(ByteArray, getJMSCorrelationIDAsBytes, (), (override));
    MOCK_METHOD(void, setJMSCorrelationIDAsBytes, (const ByteArray&), (override));
    MOCK_METHOD(void, setJMSCorrelationID, (const WString&), (override));
    MOCK_METHOD(WString, getJMSCorrelationID, (), (override));
    MOCK_METHOD(jms::Destination*, getJMSReplyTo, (), (override));
    MOCK_METHOD(void, setJMSReplyTo, (jms::Destination*), (override));
    MOCK_METHOD(jms::Destination*, getJMSDestination, (), (override));
    MOCK_METHOD(void, setJMSDestination, (jms::Destination*), (override));
    MOCK_METHOD(int32_t, getJMSDeliveryMode, (), (override));
    MOCK_METHOD(void, setJMSDeliveryMode, (int32_t), (override));
    MOCK_METHOD(bool, getJMSRedelivered, (), (override));
    MOCK_METHOD(void, setJMSRedelivered, (bool), (override));
    MOCK_METHOD(WString, getJMSType, (), (override));
    MOCK_METHOD(void, setJMSType, (const WString&), (override));
    MOCK_METHOD(int64_t, getJMSExpiration, (), (override));
    MOCK_METHOD(void, setJMSExpiration, (int64_t), (override));
    MOCK_METHOD(int32_t, getJMSPriority, (), (override));
    MOCK_METHOD(void, setJMSPriority, (int32_t), (override));
    MOCK_METHOD(void, clearProperties, (), (override));
    MOCK_METHOD(bool, propertyExists, (const WString&), (override));
    MOCK_METHOD(bool, getBooleanProperty, (const WString&), (override));
    MOCK_METHOD(int8_t, getByteProperty, (const WString&), (override));
    MOCK_METHOD(int16_t, getShortProperty, (const WString&), (override));
    MOCK_METHOD(int32_t, getIntProperty, (const WString&), (override));
    MOCK_METHOD(int64_t, getLongProperty, (const WString&), (override));
    MOCK_METHOD(float, getFloatProperty, (const WString&), (override));
    MOCK_METHOD(double, getDoubleProperty, (const WString&), (override));
    MOCK_METHOD(WString, getStringProperty, (const WString&), (override));
    MOCK_METHOD(jms::Object*, getObjectProperty, (const WString&), (override));
    MOCK_METHOD(WStringList, getPropertyNames, (), (override));
    MOCK_METHOD(void, setBooleanProperty, (const WString&, bool), (override));
    MOCK_METHOD(void, setByteProperty, (const WString&, int8_t), (override));
    MOCK_METHOD(void, setShortProperty, (const WString&, int16_t), (override));
    MOCK_METHOD(void, setIntProperty, (const WString&, int32_t), (override));
    MOCK_METHOD(void, setLongProperty, (const WString&, int64_t), (override));
    MOCK_METHOD(void, setFloatProperty, (const WString&, float), (override));
    MOCK_METHOD(void, setDoubleProperty, (const WString&, double), (override));
    MOCK_METHOD(void, setStringProperty, (const WString&, const WString&), (override));
    MOCK_METHOD(void, setObjectProperty, (const WString&, jms::Object*), (override));
    MOCK_METHOD(void, acknowledge, (), (override));
    MOCK_METHOD(void, clearBody, (), (override));
};

class MockQueue : public jms::Queue, public Tracked {
public:
    MOCK_METHOD(WString, getQueueName, (), (override));
    MOCK_METHOD(WString, toString, (), (override));
};

class MockTopic : public jms::Topic, public Tracked {
public:
    MOCK_METHOD(WString, getTopicName, (), (override));
    MOCK_METHOD(WString, toString, (), (override));
};

class MockTemporaryQueue : public jms::TemporaryQueue, public Tracked {
public:
    MOCK_METHOD(WString, getQueueName, (), (override));
    MOCK_METHOD(WString, toString, (), (override));
    MOCK_METHOD(void, destroy, (), (override));
};

class MockTemporaryTopic : public jms::TemporaryTopic, public Tracked {
public:
    MOCK_METHOD(WString, getTopicName, (), (override));
    MOCK_METHOD(WString, toString, (), (override));
    MOCK_METHOD(void, destroy, (), (override));
};

#define QJMS_MOCK_PRODUCER_FACE                                            \
    MOCK_METHOD(void, setDisableMessageID, (bool), (override));            \
    MOCK_METHOD(bool, getDisableMessageID, (), (override));                \
    MOCK_METHOD(void, setDisableMessageTimestamp, (bool), (override));     \
    MOCK_METHOD(bool, getDisableMessageTimestamp, (), (override));         \
    MOCK_METHOD(void, setDeliveryMode, (int32_t), (override));             \
    MOCK_METHOD(int32_t, getDeliveryMode, (), (override));                 \
    MOCK_METHOD(void, setPriority, (int32_t), (override));                 \
    MOCK_METHOD(int32_t, getPriority, (), (override));                     \
    MOCK_METHOD(void, setTimeToLive, (int32_t), (override));               \
    MOCK_METHOD(int32_t, getTimeToLive, (), (override));                   \
    MOCK_METHOD(void, close, (), (override))

class MockQueueSender : public jms::QueueSender, public Tracked {
public:
    QJMS_MOCK_PRODUCER_FACE;
    MOCK_METHOD(jms::Queue*, getQueue, (), (override));
    MOCK_METHOD(void, send, (jms::Queue*, jms::Message*, int32_t, int32_t, int64_t), (override));
    MOCK_METHOD(void, send, (jms::Queue*, jms::Message*), (override));
    MOCK_METHOD(void, send, (jms::Message*, int32_t, int32_t, int64_t), (override));
    MOCK_METHOD(void, send, (jms::Message*), (override));
};

class MockTopicPublisher : public jms::TopicPublisher, public Tracked {
public:
    QJMS_MOCK_PRODUCER_FACE;
    MOCK_METHOD(jms::Topic*, getTopic, (), (override));
    MOCK_METHOD(void, publish, (jms::Topic*, jms::Message*, int32_t, int32_t, int64_t),
                (override));
    MOCK_METHOD(void, publish, (jms::Topic*, jms::Message*), (override));
    MOCK_METHOD(void, publish, (jms::Message*, int32_t, int32_t, int64_t), (override));
    MOCK_METHOD(void, publish, (jms::Message*), (override));
};

#undef QJMS_MOCK_PRODUCER_FACE

#define QJMS_MOCK_CONSUMER_FACE                                                     \
    MOCK_METHOD(WString, getMessageSelector, (), (override));                       \
    MOCK_METHOD(jms::MessageListener*, getMessageListener, (), (override));         \
    MOCK_METHOD(void, setMessageListener, (jms::MessageListener*), (override));     \
    MOCK_METHOD(jms::Message*, receive, (int64_t), (override));                     \
    MOCK_METHOD(jms::Message*, receive, (), (override));                            \
    MOCK_METHOD(jms::Message*, receiveNoWait, (), (override));                      \
    MOCK_METHOD(void, close, (), (override))

class MockQueueReceiver : public jms::QueueReceiver, public Tracked {
public:
    QJMS_MOCK_CONSUMER_FACE;
    MOCK_METHOD(jms::Queue*, getQueue, (), (override));
};

class MockTopicSubscriber : public jms::TopicSubscriber, public Tracked {
public:
    QJMS_MOCK_CONSUMER_FACE;
    MOCK_METHOD(jms::Topic*, getTopic, (), (override));
    MOCK_METHOD(bool, getNoLocal, (), (override));
};

#undef QJMS_MOCK_CONSUMER_FACE

#define QJMS_MOCK_SESSION_FACE                                                       \
    MOCK_METHOD(jms::BytesMessage*, createBytesMessage, (), (override));             \
    MOCK_METHOD(jms::MapMessage*, createMapMessage, (), (override));                 \
    MOCK_METHOD(jms::Message*, createMessage, (), (override));                       \
    MOCK_METHOD(jms::ObjectMessage*, createObjectMessage, (jms::Object*), (override)); \
    MOCK_METHOD(jms::ObjectMessage*, createObjectMessage, (), (override));           \
    MOCK_METHOD(jms::StreamMessage*, createStreamMessage, (), (override));           \
    MOCK_METHOD(jms::TextMessage*, createTextMessage, (const WString&), (override)); \
    MOCK_METHOD(jms::TextMessage*, createTextMessage, (), (override));               \
    MOCK_METHOD(bool, getTransacted, (), (override));                                \
    MOCK_METHOD(void, commit, (), (override));                                       \
    MOCK_METHOD(void, rollback, (), (override));                                     \
    MOCK_METHOD(void, close, (), (override));                                        \
    MOCK_METHOD(void, recover, (), (override));                                      \
    MOCK_METHOD(jms::MessageListener*, getMessageListener, (), (override));          \
    MOCK_METHOD(void, setMessageListener, (jms::MessageListener*), (override));      \
    MOCK_METHOD(ByteArray, getXID, (), (override))

class MockQueueSession : public jms::QueueSession, public Tracked {
public:
    QJMS_MOCK_SESSION_FACE;
    MOCK_METHOD(jms::Queue*, createQueue, (const WString&), (override));
    MOCK_METHOD(jms::QueueReceiver*, createReceiver, (jms::Queue*, const WString&), (override));
    MOCK_METHOD(jms::QueueReceiver*, createReceiver, (jms::Queue*), (override));
    MOCK_METHOD(jms::QueueSender*, createSender, (jms::Queue*), (override));
    MOCK_METHOD(jms::QueueBrowser*, createBrowser, (jms::Queue*, const WString&), (override));
    MOCK_METHOD(jms::QueueBrowser*, createBrowser, (jms::Queue*), (override));
    MOCK_METHOD(jms::TemporaryQueue*, createTemporaryQueue, (), (override));
};

class MockTopicSession : public jms::TopicSession, public Tracked {
public:
    QJMS_MOCK_SESSION_FACE;
    MOCK_METHOD(jms::Topic*, createTopic, (const WString&), (override));
    MOCK_METHOD(jms::TopicSubscriber*, createSubscriber, (jms::Topic*, const WString&, bool),
                (override));
    MOCK_METHOD(jms::TopicSubscriber*, createSubscriber, (jms::Topic*), (override));
    MOCK_METHOD(jms::TopicSubscriber*, createDurableSubscriber,
                (jms::Topic*, const WString&, const WString&, bool), (override));
    MOCK_METHOD(jms::TopicSubscriber*, createDurableSubscriber, (jms::Topic*, const WString&),
                (override));
    MOCK_METHOD(jms::TopicPublisher*, createPublisher, (jms::Topic*), (override));
    MOCK_METHOD(jms::TemporaryTopic*, createTemporaryTopic, (), (override));
    MOCK_METHOD(void, unsubscribe, (const WString&), (override));
};

#undef QJMS_MOCK_SESSION_FACE

}  // namespace qjms_test

#endif
