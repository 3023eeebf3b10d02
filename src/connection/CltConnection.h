#ifndef QJMS_CONNECTION_CLTCONNECTION_H
#define QJMS_CONNECTION_CLTCONNECTION_H

#include <cstdint>
#include <memory>

#include <jms/QueueConnection.h>
#include <jms/TopicConnection.h>

#include "connection/CltConnectionMetaData.h"
#include "connection/ConnectionState.h"
#include "connection/ListenerEndpoint.h"
#include "connection/RegisteredSession.h"
#include "sys/Cbase.h"

#include <jmsServer.hh>

namespace jms {

/// One server-side connection. Starts stopped; closed is final.
///
/// Locks: the state lock (Cbase's recursive mutex) guards the client
/// identifier and the flag changes; the session lock (in the shared state)
/// guards the session registry and the listener's shutdown. They are never
/// held together, and neither is held across a provider call. The flags, the
/// start signal and the registry live in a ConnectionState shared with the
/// sessions, so sessions may outlive the connection object.
class CltConnection : public QueueConnection, public TopicConnection, public Cbase {
public:
    using Provider_ptr = zorvane::velt::quorix::corba::jmsServer::Provider_ptr;
    using ConnectionID = zorvane::velt::quorix::corba::jmsCommon::ConnectionID;

    /// Both connect to `provider` at once and throw the JMSException of the
    /// failure; no connection survives a failed constructor.
    CltConnection(Provider_ptr provider, const WString& driverName, int32_t defaultPriority,
                  int32_t timeout, bool factoryFlag, const WString& clientID);
    CltConnection(Provider_ptr provider, const WString& user, const WString& password,
                  const WString& driverName, int32_t defaultPriority, int32_t timeout,
                  bool factoryFlag, const WString& clientID);
    /// Closes locally (the provider is not told), stops callbacks and waits
    /// for one in progress on another thread.
    ~CltConnection() override;

    // Connection
    WString getClientID() override;
    void setClientID(const WString& clientID) override;
    ConnectionMetaData* getMetaData() override;
    void setExceptionListener(ExceptionListener* listener) override;
    void start() override;
    void stop() override;
    void close() override;

    // QueueConnection
    QueueSession* createQueueSession(bool transacted, int32_t acknowledgeMode) override;
    ConnectionConsumer* createConnectionConsumer(Queue*, const WString&, ServerSessionPool*,
                                                 int32_t) override;

    // Offered to sessions.
    /// The connection's own metadata, not a copy.
    virtual CltConnectionMetaData& metaData();
    virtual ConnectionConsumer* createDurableConnectionConsumer(Queue*, const WString&,
                                                                ServerSessionPool*, int32_t);
    /// A session leaving: closed, or deleted while open. Unknown entries are ignored.
    virtual void removeSession(RegisteredSession* session);
    /// The flags and registry that sessions keep after the connection is gone.
    const std::shared_ptr<ConnectionState>& sharedState() const { return state_; }
    /// The provider reference for closing calls, bounded in time.
    zorvane::velt::quorix::corba::jmsServer::Provider_ptr closer() const { return closer_.in(); }

    // TopicConnection
    TopicSession* createTopicSession(bool transacted, int32_t acknowledgeMode) override;
    ConnectionConsumer* createConnectionConsumer(Topic*, const WString&, ServerSessionPool*,
                                                 int32_t) override;
    ConnectionConsumer* createDurableConnectionConsumer(Topic*, const WString&, const WString&,
                                                        ServerSessionPool*, int32_t) override;

    /// A copy of the provider's identifier of this connection.
    ConnectionID connectionID() const { return connectionID_.in(); }
    bool factoryFlag() const { return factoryFlag_; }

    using StartWait = ConnectionState::StartWait;
    /// Blocks while the connection is stopped: true once it is started, false
    /// once it is closed. Wakes at once on start() and close(), and checks the
    /// flags at least every 10 ms.
    bool waitUntilStarted();
    /// As waitUntilStarted, giving up at `deadline` (wqClock microseconds).
    StartWait waitUntilStarted(int64_t deadline);

    /// Marks the connection closed and closes its sessions, without telling
    /// the provider. Does nothing on a closed connection.
    void closeLocally();

    /// Throws the failure that refuses a session of this kind: "badAckMode",
    /// "unsupByDriverTx: " + driver, or "connectionClosed: checkCreateSession".
    void checkCreateSession(bool transacted, int32_t acknowledgeMode);

private:
    /// Checks the credentials, makes the listener reachable and registers
    /// the connection with the provider.
    void establishConnection(Provider_ptr provider, const WString& user, const WString& password,
                             const WString& driverName, int32_t defaultPriority, int32_t timeout,
                             bool factoryFlag, const WString& clientID);
    void throwIfClosed(const char16_t* operation);
    void shutdownListenerAndSessions();
    template <class Face, class Make>
    Face* createSession(bool transacted, int32_t acknowledgeMode, const Make& make);

    zorvane::velt::quorix::corba::jmsServer::Provider_var provider_;
    // The same provider for closing calls, which a hung provider must not hang.
    zorvane::velt::quorix::corba::jmsServer::Provider_var closer_;
    WString clientID_;
    int32_t timeout_ = 0;
    const bool sessionFlag_ = false;
    int32_t defaultPriority_ = 4;
    bool factoryFlag_ = false;
    std::shared_ptr<ConnectionState> state_ = std::make_shared<ConnectionState>();
    zorvane::velt::quorix::corba::jmsCommon::ConnectionID_var connectionID_;
    CltConnectionMetaData metaData_;
    // Last member: it goes first, so no callback runs while the rest is torn down.
    ListenerEndpoint listener_;
};

}  // namespace jms

#endif
