#ifndef QJMS_SESSION_SESSIONCORE_H
#define QJMS_SESSION_SESSIONCORE_H

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include <jms/JMSException.h>
#include <jms/MessageListener.h>

#include "connection/ConnectionState.h"
#include "connection/RegisteredSession.h"
#include "idl/WireTypes.h"
#include "sys/Cbase.h"
#include "sys/wq.h"

namespace jms {

class CltMessageConsumer;
class CltMessageProducer;
class SessionEndpoint;

/// What a session's producers and consumers need of the connection, copied
/// when the session is made so that none of them reaches back into it.
struct SessionContext {
    std::shared_ptr<ConnectionState> connection;
    wireServer::Provider_var closer;  // bounded in time: see CallBounds
    wire::ConnectionID connectionID;
    bool factoryFlag = false;
    bool supportsPersistent = false;
    bool supportsNonPersistent = false;
};

/// The state of one session: its provider identity, its flags, the registries
/// of its producers and consumers, and the single-use discipline. The caller's
/// session object, its producers, its consumers and its callback servant share
/// it, so the caller may delete them in any order: whatever is left finds the
/// session closed instead of freed memory.
///
/// The state lock (Cbase's recursive mutex) guards the flags, both registries
/// and the delivering thread; it is taken before a producer's or consumer's own
/// lock and is never held across a provider call or a caller's listener.
class SessionCore : public Cbase,
                    public RegisteredSession,
                    public std::enable_shared_from_this<SessionCore> {
public:
    SessionCore(SessionContext context, wireServer::Provider_ptr provider, bool transacted,
                int32_t ackMode);
    ~SessionCore() override;
    SessionCore(const SessionCore&) = delete;
    SessionCore& operator=(const SessionCore&) = delete;

    RMutex& stateLock() const { return rmutex(); }

    enum class State { Open, Invalidated, Closed };
    /// Where the session stands, without closing an invalidated one.
    State state() const;

    /// True once closed; an invalidated session closes itself here.
    bool isClosed() override;
    /// The connection is closing or gone: close locally.
    void closeFromConnection() override;
    std::shared_ptr<RegisteredSession> share() override { return shared_from_this(); }
    /// The connection closed: waits for a delivery on another thread, then
    /// retires the callback object.
    void waitForCallbacks() override;

    /// Activates the session's callback object; its reference goes to the
    /// provider with createSession.
    void activate();
    /// Deactivates the callback object and waits, within a bound, for the
    /// broker to finish with it (see SessionEndpoint). Later pushes fail at
    /// the broker, as to a session that is gone.
    void retire();

    /// A message the provider pushes for one of the session's consumers: finds
    /// the consumer, refuses what would break the session's one-at-a-time use
    /// (raising the contract's exception back to the provider), builds the
    /// message and hands it to the consumer's listener outside the state lock.
    /// Whatever the listener throws is dropped.
    void onMessage(const wire::JMSMsg& message, const wire::UID& consumerID);
    /// Returns once no delivery (to `consumer`, or to any consumer when null)
    /// runs on another thread; a delivery on the calling thread, a listener
    /// closing or deleting what it was called for, is not waited for.
    void waitForDelivery(const CltMessageConsumer* consumer);

    /// Drop the closed entries, then append. The caller holds the state lock.
    void addConsumer(CltMessageConsumer* consumer);
    void addProducer(CltMessageProducer* producer);
    /// Removes the entry if present.
    void removeConsumer(CltMessageConsumer* consumer);
    void removeProducer(CltMessageProducer* producer);

    /// With the state lock held: "sessionClosed: checkInUseAndClosed" for a
    /// closed or invalidated session (the latter closed first when
    /// `closeIfInvalid`), "concurrency: " while another operation is under way.
    void checkInUseAndClosed(bool closeIfInvalid, bool checkListeners);
    /// checkInUseAndClosed, then marks the session in use.
    void beginUse(bool closeIfInvalid);
    void endUse();
    /// A consumer asking the provider to push: marks the session in use like
    /// beginUse (the caller holds the state lock and made the checks), and
    /// lets a push that arrives meanwhile wait for the registration to end
    /// instead of counting as a concurrent use.
    void beginListenerRegistration();
    void endListenerRegistration();
    /// Clears the in-use flag and registers the new object in one step, so no
    /// other operation can slip in between.
    void finishCreation(CltMessageProducer* producer);
    void finishCreation(CltMessageConsumer* consumer);

    void incrementListenerCount();
    void decrementListenerCount();

    /// Closes the session locally, then yields the exception to throw.
    JMSException translateBadStateClosing();
    JMSException translateSystemClosing();
    JMSException translateConnectionIDClosing();
    JMSException translateSessionIDClosing();
    /// Marks the session invalidated (it closes at its next check), then
    /// yields the exception to throw. Used by producers and consumers.
    JMSException translateBadState();
    JMSException translateSystem();
    JMSException translateConnectionID();
    JMSException translateSessionID();

    /// The local half of the caller's close(): "sessionClosed: close" when
    /// already closed (an invalidated session is closed first); otherwise
    /// closes locally.
    void closeForCaller();
    /// The check of unsubscribe: the session's own, then "inUse" while one of
    /// its open durable subscribers uses the subscription; then marks the
    /// session in use.
    void beginUnsubscribe(const WString& name);

    /// With the state lock held; never calls the provider. Marks the session,
    /// its producers and its consumers closed and empties both registries.
    void closeLocally(bool releaseServant);

    /// The session's provider identity; set once, before any other use.
    void setSessionID(const wire::SessionID& id) { sessionID_ = id; }
    const wire::SessionID& sessionID() const { return sessionID_; }
    wireServer::Provider_ptr provider() const { return provider_.in(); }
    /// For closing calls: bounded in time even when nothing is configured.
    wireServer::Provider_ptr closer() const { return context_.closer.in(); }
    /// For receives, whose bound each receive sets for itself: the session
    /// makes one receive at a time.
    wireServer::Provider_ptr receiver() const { return receiver_.in(); }
    const SessionContext& context() const { return context_; }
    ConnectionState& connection() const { return *context_.connection; }
    bool transacted() const { return transacted_; }
    int32_t ackMode() const { return ackMode_; }

    /// The reference of the session's callback object, released by a local
    /// close when the connection's factory flag says so.
    wireClient::MessageListener_ptr listenerReference() const { return listenerReference_.in(); }

private:
    JMSException closingWith(const char16_t* message);
    /// The registered consumer with this uid, dropping closed entries on the way.
    CltMessageConsumer* findConsumer(const wire::UID& consumerID);
    /// Builds the message and calls the listener; swallows every failure.
    static void deliver(const wire::JMSMsg& message, CltMessageConsumer& consumer,
                        MessageListener& listener);
    void endDelivery();
    JMSException invalidatingWith(const char16_t* message);

    const SessionContext context_;
    wireServer::Provider_var provider_;
    wireServer::Provider_var receiver_;
    const bool transacted_;
    const int32_t ackMode_;
    wire::SessionID sessionID_;
    wireClient::MessageListener_var listenerReference_;

    bool closed_ = false;
    bool invalidated_ = false;
    bool inUse_ = false;
    std::vector<CltMessageProducer*> producers_;
    std::vector<CltMessageConsumer*> consumers_;
    // Written under the state lock and announced on Cbase's condition; read
    // without it by the waits.
    std::atomic<WqThreadId> deliveringThread_{0};
    std::atomic<const CltMessageConsumer*> deliveringConsumer_{nullptr};
    std::atomic<bool> registeringListener_{false};

    RMutex countLock_;
    int32_t listenerCount_ = 0;
    // Last: it goes first, so no push arrives while the rest is torn down.
    std::unique_ptr<SessionEndpoint> endpoint_;
};

/// Holds the session's in-use flag for a scope: beginUse on construction (which
/// may throw), endUse on destruction unless a creation was handed over.
class UseGuard {
public:
    UseGuard(SessionCore& session, bool closeIfInvalid);
    ~UseGuard();
    UseGuard(const UseGuard&) = delete;
    UseGuard& operator=(const UseGuard&) = delete;

    /// Ends the use by registering what the operation created (finishCreation).
    template <class Endpoint>
    void finishCreation(Endpoint* created) {
        session_.finishCreation(created);
        held_ = false;
    }

private:
    SessionCore& session_;
    bool held_ = true;
};

}  // namespace jms

#endif
