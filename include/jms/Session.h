#ifndef JMS_SESSION_H
#define JMS_SESSION_H

#include <jms/Types.h>

namespace jms {

class BytesMessage;
class MapMessage;
class Message;
class MessageListener;
class ObjectMessage;
class StreamMessage;
class TextMessage;

/// A single-threaded context for producing and consuming messages. Its
/// operations and those of its producers and consumers must not overlap:
/// one that starts while another is under way fails at once.
class JMS_API Session {
public:
    /// Acknowledgement modes for createQueueSession and createTopicSession.
    static constexpr int32_t AUTO_ACKNOWLEDGE = 1;
    static constexpr int32_t CLIENT_ACKNOWLEDGE = 2;
    static constexpr int32_t DUPS_OK_ACKNOWLEDGE = 3;

    Session() = default;
    Session(const Session&) = default;
    Session& operator=(const Session&) = default;
    virtual ~Session();

    /// A new empty bytes message in write mode; caller owns.
    virtual BytesMessage* createBytesMessage() = 0;
    /// Not offered by the library: throws NotImplementedException.
    virtual MapMessage* createMapMessage() = 0;
    /// A new message with no body; caller owns.
    virtual Message* createMessage() = 0;
    /// Not offered by the library: throws NotImplementedException.
    virtual ObjectMessage* createObjectMessage(Object* object) = 0;
    /// Not offered by the library: throws NotImplementedException.
    virtual ObjectMessage* createObjectMessage() = 0;
    /// Not offered by the library: throws NotImplementedException.
    virtual StreamMessage* createStreamMessage() = 0;
    /// A new text message holding `text`; caller owns.
    virtual TextMessage* createTextMessage(const WString& text) = 0;
    /// A new empty text message; caller owns.
    virtual TextMessage* createTextMessage() = 0;
    virtual bool getTransacted() = 0;
    virtual void commit() = 0;
    virtual void rollback() = 0;
    /// Closes the session, its producers and its consumers; the objects stay
    /// for the caller to delete.
    virtual void close() = 0;
    /// Not offered by the library: throws NotImplementedException.
    virtual void recover() = 0;
    /// Session-level listeners are not offered by the library: always null.
    virtual MessageListener* getMessageListener() = 0;
    /// Not offered by the library: throws NotImplementedException.
    virtual void setMessageListener(MessageListener* listener) = 0;
    /// Not offered by the library: throws JMSException.
    virtual ByteArray getXID() = 0;
};

}  // namespace jms

#endif
