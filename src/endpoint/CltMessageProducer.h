#ifndef QJMS_ENDPOINT_CLTMESSAGEPRODUCER_H
#define QJMS_ENDPOINT_CLTMESSAGEPRODUCER_H

#include <cstdint>
#include <memory>
#include <optional>

#include <jms/Destination.h>
#include <jms/JMSException.h>
#include <jms/Message.h>
#include <jms/MessageProducer.h>

#include "destination/QuorixDestination.h"
#include "idl/WireTypes.h"
#include "session/SessionCore.h"
#include "sys/Cbase.h"

namespace jms {

/// What queue senders and topic publishers share: the sending defaults, the
/// checks and stamping of a send, the provider call and the write-back of the
/// identifier and time stamp the provider assigned.
///
/// Its own lock guards the closed flag and the defaults; the session's state
/// lock is always taken first, and neither is held across a provider call.
class CltMessageProducer : public virtual MessageProducer, public Cbase {
public:
    /// Leaves the session's registry; tells the provider nothing.
    ~CltMessageProducer() override;

    virtual bool isClosed();
    virtual void markClosed();
    virtual WString producerName();

    /// To `destination`, with the given mode, priority and time to live (ms).
    virtual void send(Destination* destination, Message* message, int32_t deliveryMode,
                      int32_t priority, int64_t timeToLive);
    /// To the producer's destination, with the given values.
    virtual void send(Message* message, int32_t deliveryMode, int32_t priority,
                      int64_t timeToLive);
    /// To `destination`, with the producer's defaults.
    virtual void send(Destination* destination, Message* message);
    /// To the producer's destination, with its defaults.
    virtual void send(Message* message);

    // Each marks the producer closed; the first four invalidate the session too.
    JMSException translateSessionID();
    JMSException translateConnectionID();
    JMSException translateSystem();
    JMSException translateBadState();
    JMSException translateProducer();
    JMSException translateDestination();

    // MessageProducer
    void setDisableMessageID(bool value) override;
    bool getDisableMessageID() override;
    void setDisableMessageTimestamp(bool value) override;
    bool getDisableMessageTimestamp() override;
    void setDeliveryMode(int32_t deliveryMode) override;
    int32_t getDeliveryMode() override;
    void setPriority(int32_t priority) override;
    int32_t getPriority() override;
    void setTimeToLive(int32_t timeToLive) override;
    int32_t getTimeToLive() override;
    void close() override;

protected:
    /// Throws "internal null session", "internal null destination",
    /// "internal null name" or "badDestType".
    CltMessageProducer(std::shared_ptr<SessionCore> session, Destination* destination,
                       const wire::UID& producerID);

    /// The producer's own copy of its destination.
    const QuorixDestination& destination() const { return *destination_; }

private:
    struct SendValues {
        int32_t deliveryMode;
        int32_t priority;
        int64_t timeToLive;
    };

    /// The frame of every getter and setter: the session's check, then the
    /// producer's closed check, then `work`, with both locks held.
    template <class Work>
    decltype(auto) framed(Work&& work);
    /// "badDeliveryMode", or "unsupByDriverPM"/"unsupByDriverNPM" when the
    /// provider does not offer the mode.
    void checkDeliveryMode(int32_t mode) const;
    /// The part every send shares, after its own argument checks. `target`
    /// null: the producer's destination; `values` empty: its defaults.
    void sendChecked(const QuorixDestination* target, Message* message,
                     std::optional<SendValues> values);
    JMSException closingWith(const char16_t* message);

    int32_t deliveryMode_ = 2;
    int32_t timeToLive_ = 0;
    int32_t priority_ = 4;
    bool disableMessageID_ = false;
    bool disableMessageTimestamp_ = false;
    std::shared_ptr<SessionCore> session_;
    std::shared_ptr<const QuorixDestination> destination_;
    WString producerName_;
    wire::UID producerID_;
    bool closed_ = false;
};

}  // namespace jms

#endif
