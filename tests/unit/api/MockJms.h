#ifndef QJMS_TESTS_API_MOCKJMS_H
#define QJMS_TESTS_API_MOCKJMS_H

// Mocks of the public interfaces a requestor meets. Each offers the queue and
// the topic face of its family at once, as the library's own classes do, so
// one set serves both requestors.

#include <gmock/gmock.h>

#include <jms/jms.h>

// Every override of a mock; related ones (a getter and its setter, overloads) share a line.
#define QM(R, name, args) MOCK_METHOD(R, name, args, (override))

namespace qjms_test {

using jms::ByteArray;
using jms::WString;
using Name = const WString&;
using Dest = jms::Destination*;
using Msg = jms::Message*;
using Listener = jms::MessageListener*;
using QueueP = jms::Queue*;
using TopicP = jms::Topic*;

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

class MockMessage : public jms::Message, public Tracked {
public:
    QM(WString, getJMSMessageID, ()); QM(void, setJMSMessageID, (Name));
    QM(int64_t, getJMSTimestamp, ()); QM(void, setJMSTimestamp, (int64_t));
    QM(ByteArray, getJMSCorrelationIDAsBytes, ());
    QM(void, setJMSCorrelationIDAsBytes, (const ByteArray&));
    QM(void, setJMSCorrelationID, (Name)); QM(WString, getJMSCorrelationID, ());
    QM(Dest, getJMSReplyTo, ()); QM(void, setJMSReplyTo, (Dest));
    QM(Dest, getJMSDestination, ()); QM(void, setJMSDestination, (Dest));
    QM(int32_t, getJMSDeliveryMode, ()); QM(void, setJMSDeliveryMode, (int32_t));
    QM(bool, getJMSRedelivered, ()); QM(void, setJMSRedelivered, (bool));
    QM(WString, getJMSType, ()); QM(void, setJMSType, (Name));
    QM(int64_t, getJMSExpiration, ()); QM(void, setJMSExpiration, (int64_t));
    QM(int32_t, getJMSPriority, ()); QM(void, setJMSPriority, (int32_t));
    QM(void, clearProperties, ()); QM(bool, propertyExists, (Name));
    QM(bool, getBooleanProperty, (Name)); QM(void, setBooleanProperty, (Name, bool));
    QM(int8_t, getByteProperty, (Name)); QM(void, setByteProperty, (Name, int8_t));
    QM(int16_t, getShortProperty, (Name)); QM(void, setShortProperty, (Name, int16_t));
    QM(int32_t, getIntProperty, (Name)); QM(void, setIntProperty, (Name, int32_t));
    QM(int64_t, getLongProperty, (Name)); QM(void, setLongProperty, (Name, int64_t));
    QM(float, getFloatProperty, (Name)); QM(void, setFloatProperty, (Name, float));
    QM(double, getDoubleProperty, (Name)); QM(void, setDoubleProperty, (Name, double));
    QM(WString, getStringProperty, (Name)); QM(void, setStringProperty, (Name, Name));
    QM(jms::Object*, getObjectProperty, (Name)); QM(void, setObjectProperty, (Name, jms::Object*));
    QM(jms::WStringList, getPropertyNames, ()); QM(void, acknowledge, ()); QM(void, clearBody, ());
};

class MockDestination : public jms::TemporaryQueue, public jms::TemporaryTopic, public Tracked {
public:
    QM(WString, getQueueName, ()); QM(WString, getTopicName, ());
    QM(WString, toString, ()); QM(void, destroy, ());
};

class MockProducer : public jms::QueueSender, public jms::TopicPublisher, public Tracked {
public:
    QM(void, setDisableMessageID, (bool)); QM(bool, getDisableMessageID, ());
    QM(void, setDisableMessageTimestamp, (bool)); QM(bool, getDisableMessageTimestamp, ());
    QM(void, setDeliveryMode, (int32_t)); QM(int32_t, getDeliveryMode, ());
    QM(void, setPriority, (int32_t)); QM(int32_t, getPriority, ());
    QM(void, setTimeToLive, (int32_t)); QM(int32_t, getTimeToLive, ());
    QM(void, close, ()); QM(QueueP, getQueue, ()); QM(TopicP, getTopic, ());
    QM(void, send, (QueueP, Msg, int32_t, int32_t, int64_t)); QM(void, send, (QueueP, Msg));
    QM(void, send, (Msg, int32_t, int32_t, int64_t)); QM(void, send, (Msg));
    QM(void, publish, (TopicP, Msg, int32_t, int32_t, int64_t)); QM(void, publish, (TopicP, Msg));
    QM(void, publish, (Msg, int32_t, int32_t, int64_t)); QM(void, publish, (Msg));
};

class MockConsumer : public jms::QueueReceiver, public jms::TopicSubscriber, public Tracked {
public:
    QM(WString, getMessageSelector, ()); QM(void, close, ());
    QM(Listener, getMessageListener, ()); QM(void, setMessageListener, (Listener));
    QM(Msg, receive, (int64_t)); QM(Msg, receive, ()); QM(Msg, receiveNoWait, ());
    QM(QueueP, getQueue, ()); QM(TopicP, getTopic, ()); QM(bool, getNoLocal, ());
};

class MockSession : public jms::QueueSession, public jms::TopicSession, public Tracked {
public:
    QM(jms::BytesMessage*, createBytesMessage, ()); QM(Msg, createMessage, ());
    QM(jms::MapMessage*, createMapMessage, ()); QM(jms::StreamMessage*, createStreamMessage, ());
    QM(jms::ObjectMessage*, createObjectMessage, (jms::Object*));
    QM(jms::ObjectMessage*, createObjectMessage, ());
    QM(jms::TextMessage*, createTextMessage, (Name)); QM(jms::TextMessage*, createTextMessage, ());
    QM(bool, getTransacted, ()); QM(void, commit, ()); QM(void, rollback, ());
    QM(void, close, ()); QM(void, recover, ()); QM(ByteArray, getXID, ());
    QM(Listener, getMessageListener, ()); QM(void, setMessageListener, (Listener));
    QM(QueueP, createQueue, (Name)); QM(TopicP, createTopic, (Name));
    QM(jms::QueueReceiver*, createReceiver, (QueueP, Name));
    QM(jms::QueueReceiver*, createReceiver, (QueueP));
    QM(jms::QueueBrowser*, createBrowser, (QueueP, Name));
    QM(jms::QueueBrowser*, createBrowser, (QueueP));
    QM(jms::TopicSubscriber*, createSubscriber, (TopicP, Name, bool));
    QM(jms::TopicSubscriber*, createSubscriber, (TopicP));
    QM(jms::TopicSubscriber*, createDurableSubscriber, (TopicP, Name, Name, bool));
    QM(jms::TopicSubscriber*, createDurableSubscriber, (TopicP, Name));
    QM(jms::QueueSender*, createSender, (QueueP));
    QM(jms::TopicPublisher*, createPublisher, (TopicP));
    QM(jms::TemporaryQueue*, createTemporaryQueue, ());
    QM(jms::TemporaryTopic*, createTemporaryTopic, ()); QM(void, unsubscribe, (Name));
};

}  // namespace qjms_test

#undef QM

#endif
