#ifndef QJMS_TESTS_API_MOCKJMS_H
#define QJMS_TESTS_API_MOCKJMS_H

// Mocks of the public interfaces a requestor meets. Each offers the queue and
// the topic face of its family at once, as the library's own classes do, so
// one set serves both requestors.

#include <gmock/gmock.h>

#include <jms/jms.h>

// Every override of a mock; the classes list them two to a line where they fit.
#define QJMS_MOCK(R, name, args) MOCK_METHOD(R, name, args, (override))

namespace qjms_test {

using jms::ByteArray;
using jms::WString;
using Name = const WString&;
using Dest = jms::Destination*;
using Msg = jms::Message*;
using Listener = jms::MessageListener*;

// Counts the mocks alive, so a test can tell that nothing leaked or was
// deleted twice.
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

// Related operations (a getter and its setter, overloads) share a line.
class MockMessage : public jms::Message, public Tracked {
public:
    QJMS_MOCK(WString, getJMSMessageID, ()); QJMS_MOCK(void, setJMSMessageID, (Name));
    QJMS_MOCK(int64_t, getJMSTimestamp, ()); QJMS_MOCK(void, setJMSTimestamp, (int64_t));
    QJMS_MOCK(ByteArray, getJMSCorrelationIDAsBytes, ());
    QJMS_MOCK(void, setJMSCorrelationIDAsBytes, (const ByteArray&));
    QJMS_MOCK(void, setJMSCorrelationID, (Name)); QJMS_MOCK(WString, getJMSCorrelationID, ());
    QJMS_MOCK(Dest, getJMSReplyTo, ()); QJMS_MOCK(void, setJMSReplyTo, (Dest));
    QJMS_MOCK(Dest, getJMSDestination, ()); QJMS_MOCK(void, setJMSDestination, (Dest));
    QJMS_MOCK(int32_t, getJMSDeliveryMode, ()); QJMS_MOCK(void, setJMSDeliveryMode, (int32_t));
    QJMS_MOCK(bool, getJMSRedelivered, ()); QJMS_MOCK(void, setJMSRedelivered, (bool));
    QJMS_MOCK(WString, getJMSType, ()); QJMS_MOCK(void, setJMSType, (Name));
    QJMS_MOCK(int64_t, getJMSExpiration, ()); QJMS_MOCK(void, setJMSExpiration, (int64_t));
    QJMS_MOCK(int32_t, getJMSPriority, ()); QJMS_MOCK(void, setJMSPriority, (int32_t));
    QJMS_MOCK(void, clearProperties, ()); QJMS_MOCK(bool, propertyExists, (Name));
    QJMS_MOCK(bool, getBooleanProperty, (Name)); QJMS_MOCK(void, setBooleanProperty, (Name, bool));
    QJMS_MOCK(int8_t, getByteProperty, (Name)); QJMS_MOCK(void, setByteProperty, (Name, int8_t));
    QJMS_MOCK(int16_t, getShortProperty, (Name));
    QJMS_MOCK(void, setShortProperty, (Name, int16_t));
    QJMS_MOCK(int32_t, getIntProperty, (Name)); QJMS_MOCK(void, setIntProperty, (Name, int32_t));
    QJMS_MOCK(int64_t, getLongProperty, (Name)); QJMS_MOCK(void, setLongProperty, (Name, int64_t));
    QJMS_MOCK(float, getFloatProperty, (Name)); QJMS_MOCK(void, setFloatProperty, (Name, float));
    QJMS_MOCK(double, getDoubleProperty, (Name));
    QJMS_MOCK(void, setDoubleProperty, (Name, double));
    QJMS_MOCK(WString, getStringProperty, (Name)); QJMS_MOCK(void, setStringProperty, (Name, Name));
    QJMS_MOCK(jms::Object*, getObjectProperty, (Name));
    QJMS_MOCK(void, setObjectProperty, (Name, jms::Object*));
    QJMS_MOCK(jms::WStringList, getPropertyNames, ());
    QJMS_MOCK(void, acknowledge, ()); QJMS_MOCK(void, clearBody, ());
};

class MockDestination : public jms::TemporaryQueue, public jms::TemporaryTopic, public Tracked {
public:
    QJMS_MOCK(WString, getQueueName, ()); QJMS_MOCK(WString, getTopicName, ());
    QJMS_MOCK(WString, toString, ()); QJMS_MOCK(void, destroy, ());
};

class MockProducer : public jms::QueueSender, public jms::TopicPublisher, public Tracked {
public:
    QJMS_MOCK(void, setDisableMessageID, (bool)); QJMS_MOCK(bool, getDisableMessageID, ());
    QJMS_MOCK(void, setDisableMessageTimestamp, (bool));
    QJMS_MOCK(bool, getDisableMessageTimestamp, ());
    QJMS_MOCK(void, setDeliveryMode, (int32_t)); QJMS_MOCK(int32_t, getDeliveryMode, ());
    QJMS_MOCK(void, setPriority, (int32_t)); QJMS_MOCK(int32_t, getPriority, ());
    QJMS_MOCK(void, setTimeToLive, (int32_t)); QJMS_MOCK(int32_t, getTimeToLive, ());
    QJMS_MOCK(void, close, ());
    QJMS_MOCK(jms::Queue*, getQueue, ()); QJMS_MOCK(jms::Topic*, getTopic, ());
    QJMS_MOCK(void, send, (jms::Queue*, Msg, int32_t, int32_t, int64_t));
    QJMS_MOCK(void, send, (jms::Queue*, Msg));
    QJMS_MOCK(void, send, (Msg, int32_t, int32_t, int64_t)); QJMS_MOCK(void, send, (Msg));
    QJMS_MOCK(void, publish, (jms::Topic*, Msg, int32_t, int32_t, int64_t));
    QJMS_MOCK(void, publish, (jms::Topic*, Msg));
    QJMS_MOCK(void, publish, (Msg, int32_t, int32_t, int64_t)); QJMS_MOCK(void, publish, (Msg));
};

class MockConsumer : public jms::QueueReceiver, public jms::TopicSubscriber, public Tracked {
public:
    QJMS_MOCK(WString, getMessageSelector, ()); QJMS_MOCK(void, close, ());
    QJMS_MOCK(Listener, getMessageListener, ()); QJMS_MOCK(void, setMessageListener, (Listener));
    QJMS_MOCK(Msg, receive, (int64_t)); QJMS_MOCK(Msg, receive, ());
    QJMS_MOCK(Msg, receiveNoWait, ());
    QJMS_MOCK(jms::Queue*, getQueue, ()); QJMS_MOCK(jms::Topic*, getTopic, ());
    QJMS_MOCK(bool, getNoLocal, ());
};

class MockSession : public jms::QueueSession, public jms::TopicSession, public Tracked {
public:
    QJMS_MOCK(jms::BytesMessage*, createBytesMessage, ());
    QJMS_MOCK(jms::MapMessage*, createMapMessage, ()); QJMS_MOCK(Msg, createMessage, ());
    QJMS_MOCK(jms::ObjectMessage*, createObjectMessage, (jms::Object*));
    QJMS_MOCK(jms::ObjectMessage*, createObjectMessage, ());
    QJMS_MOCK(jms::StreamMessage*, createStreamMessage, ());
    QJMS_MOCK(jms::TextMessage*, createTextMessage, (Name));
    QJMS_MOCK(jms::TextMessage*, createTextMessage, ());
    QJMS_MOCK(bool, getTransacted, ()); QJMS_MOCK(void, commit, ()); QJMS_MOCK(void, rollback, ());
    QJMS_MOCK(void, close, ()); QJMS_MOCK(void, recover, ()); QJMS_MOCK(ByteArray, getXID, ());
    QJMS_MOCK(Listener, getMessageListener, ()); QJMS_MOCK(void, setMessageListener, (Listener));
    QJMS_MOCK(jms::Queue*, createQueue, (Name));
    QJMS_MOCK(jms::QueueReceiver*, createReceiver, (jms::Queue*, Name));
    QJMS_MOCK(jms::QueueReceiver*, createReceiver, (jms::Queue*));
    QJMS_MOCK(jms::QueueSender*, createSender, (jms::Queue*));
    QJMS_MOCK(jms::QueueBrowser*, createBrowser, (jms::Queue*, Name));
    QJMS_MOCK(jms::QueueBrowser*, createBrowser, (jms::Queue*));
    QJMS_MOCK(jms::TemporaryQueue*, createTemporaryQueue, ());
    QJMS_MOCK(jms::Topic*, createTopic, (Name));
    QJMS_MOCK(jms::TopicSubscriber*, createSubscriber, (jms::Topic*, Name, bool));
    QJMS_MOCK(jms::TopicSubscriber*, createSubscriber, (jms::Topic*));
    QJMS_MOCK(jms::TopicSubscriber*, createDurableSubscriber, (jms::Topic*, Name, Name, bool));
    QJMS_MOCK(jms::TopicSubscriber*, createDurableSubscriber, (jms::Topic*, Name));
    QJMS_MOCK(jms::TopicPublisher*, createPublisher, (jms::Topic*));
    QJMS_MOCK(jms::TemporaryTopic*, createTemporaryTopic, ());
    QJMS_MOCK(void, unsubscribe, (Name));
};

}  // namespace qjms_test

#undef QJMS_MOCK

#endif
