#ifndef JMS_JMS_H
#define JMS_JMS_H

// The whole public API.

#include <jms/Export.h>
#include <jms/Types.h>
#include <jms/JMSException.h>
#include <jms/BrokerException.h>

#include <jms/Destination.h>
#include <jms/Queue.h>
#include <jms/Topic.h>
#include <jms/TemporaryQueue.h>
#include <jms/TemporaryTopic.h>

#include <jms/DeliveryMode.h>
#include <jms/Message.h>
#include <jms/TextMessage.h>
#include <jms/BytesMessage.h>
#include <jms/MapMessage.h>
#include <jms/StreamMessage.h>
#include <jms/ObjectMessage.h>

#include <jms/MessageListener.h>
#include <jms/ExceptionListener.h>

#include <jms/MessageProducer.h>
#include <jms/QueueSender.h>
#include <jms/TopicPublisher.h>
#include <jms/MessageConsumer.h>
#include <jms/QueueReceiver.h>
#include <jms/TopicSubscriber.h>
#include <jms/Enumeration.h>
#include <jms/QueueBrowser.h>

#include <jms/Session.h>
#include <jms/QueueSession.h>
#include <jms/TopicSession.h>

#include <jms/ConnectionMetaData.h>
#include <jms/Connection.h>
#include <jms/QueueConnection.h>
#include <jms/TopicConnection.h>
#include <jms/ConnectionFactory.h>
#include <jms/QueueConnectionFactory.h>
#include <jms/TopicConnectionFactory.h>
#include <jms/ConnectionConsumer.h>
#include <jms/ServerSession.h>
#include <jms/ServerSessionPool.h>

#include <jms/ImplDepFactory.h>
#include <jms/QueueRequestor.h>
#include <jms/TopicRequestor.h>

#endif
