#ifndef QJMS_SESSION_CLTSESSION_H
#define QJMS_SESSION_CLTSESSION_H

#include <cstdint>
#include <memory>

#include <jms/Session.h>

#include "idl/WireTypes.h"
#include "session/SessionCore.h"

namespace jms {

class CltConnection;

/// The caller's session: message creation, commit, rollback and close, over
/// the state it shares with its producers, consumers and callback servant
/// (SessionCore). Deleting it closes it locally, without telling the provider,
/// and leaves its producers and consumers closed.
class CltSession : public virtual Session {
public:
    /// Closes locally, leaves the connection's registry, waits for a delivery
    /// still running on another thread, and retires the callback object.
    ~CltSession() override;

    BytesMessage* createBytesMessage() override;
    MapMessage* createMapMessage() override;
    Message* createMessage() override;
    ObjectMessage* createObjectMessage(Object* object) override;
    ObjectMessage* createObjectMessage() override;
    StreamMessage* createStreamMessage() override;
    TextMessage* createTextMessage(const WString& text) override;
    TextMessage* createTextMessage() override;
    bool getTransacted() override;
    void commit() override;
    void rollback() override;
    void close() override;
    void recover() override;
    MessageListener* getMessageListener() override;
    void setMessageListener(MessageListener* listener) override;
    ByteArray getXID() override;

    /// The shared state, which the connection registers.
    SessionCore& core() const { return *core_; }

protected:
    /// Checks the arguments ("internal: null connection", "internal: null
    /// provider", "badArg: timeout must be >= 0", "badPriority: bad priority",
    /// "badAckMode"), activates the callback object and registers the session
    /// with the provider. A non-transacted session asks for mode 4 instead of 1.
    CltSession(CltConnection* connection, wireServer::Provider_ptr provider, bool transacted,
               int32_t ackMode, int32_t timeout, bool sessionFlag, int32_t defaultPriority);

    const std::shared_ptr<SessionCore>& sharedCore() const { return core_; }

private:
    wire::SessionID createProviderSession(const wire::ConnectionID& connectionID, int32_t timeout,
                                          bool sessionFlag, int32_t defaultPriority);

    std::shared_ptr<SessionCore> core_;
};

}  // namespace jms

#endif
