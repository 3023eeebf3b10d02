#ifndef QJMS_ENDPOINT_CLTMESSAGECONSUMER_H
#define QJMS_ENDPOINT_CLTMESSAGECONSUMER_H

#include <cstdint>
#include <memory>

#include <jms/Destination.h>
#include <jms/JMSException.h>
#include <jms/MessageConsumer.h>

#include "destination/QuorixDestination.h"
#include "idl/WireTypes.h"
#include "session/SessionCore.h"
#include "sys/Cbase.h"

namespace jms {

class CltMessage;

/// What queue receivers, topic subscribers and the queue browser share: the
/// three receive modes, the message listener's registration with the
/// provider, and close.
///
/// Its own lock guards the closed flag and the listener; the session's state
/// lock is always taken first, and neither is held across a provider call.
class CltMessageConsumer : public virtual MessageConsumer, public Cbase {
public:
    /// Throws "internal null session", "internal null dest", "internal null
    /// name" (an empty subscription name) or "badDestType". `subscriptionName`
    /// is given for durable subscribers only; other consumers are named by
    /// their identifier.
    CltMessageConsumer(std::shared_ptr<SessionCore> session, Destination* destination,
                       const wire::UID& consumerID, const WString& messageSelector,
                       const WString* subscriptionName = nullptr);
    /// Leaves the session's registry; tells the provider nothing.
    ~CltMessageConsumer() override;

    virtual bool isClosed();
    /// The consumer's own copy, not a new one.
    virtual const QuorixDestination& getDestination() const { return *destination_; }
    /// The same, shared with the messages the consumer builds.
    const std::shared_ptr<const QuorixDestination>& sharedDestination() const {
        return destination_;
    }
    virtual const wire::UID& getConsumerID() const { return consumerID_; }
    virtual void markClosed();
    virtual WString consumerName() const { return consumerName_; }
    /// True for a durable subscriber, whose name is its subscription's.
    bool isDurable() const { return durable_; }
    /// A browser's consumer: its fetches do not wait for the connection to
    /// start, since browsing takes nothing off the queue.
    void setBrowsing() { browsing_ = true; }
    /// The listener, with no other check.
    virtual MessageListener* getListener();
    virtual void closeConsumer();

    // Each marks the consumer closed; the first four invalidate the session too.
    JMSException translateSessionID();
    JMSException translateConnectionID();
    JMSException translateSystem();
    JMSException translateBadState();
    JMSException translateConsumer();
    JMSException translateDestination();

    // MessageConsumer
    WString getMessageSelector() override;
    MessageListener* getMessageListener() override;
    void setMessageListener(MessageListener* listener) override;
    Message* receive(int64_t timeout) override;
    Message* receive() override;
    Message* receiveNoWait() override;
    void close() override;

private:
    enum class Mode { Wait, Timeout, NoWait };

    Message* receive(Mode mode, int64_t timeout);
    std::unique_ptr<CltMessage> build(wire::JMSMsg&& received) const;
    template <class Work>
    decltype(auto) framed(Work&& work);

    MessageListener* listener_ = nullptr;
    std::shared_ptr<SessionCore> session_;
    std::shared_ptr<const QuorixDestination> destination_;
    WString consumerName_;
    bool durable_ = false;
    bool browsing_ = false;
    bool closed_ = false;
    wire::UID consumerID_;
    WString messageSelector_;
};

}  // namespace jms

#endif
