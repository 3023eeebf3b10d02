#include "connection/CltConnection.h"

#include <algorithm>

#include <jms/JMSException.h>

#include "api/ProviderCall.h"
#include "connection/CltOrb.h"
#include "connection/SessionCreation.h"
#include "idl/WireText.h"
#include "idl/WireValues.h"
#include "sys/wq.h"

namespace jms {

using pcall::Exc;
using pcall::hookFirst;

namespace {

const char16_t* const errClosed = u"CltException::ERR_CONNECTION_CLOSED";
const char16_t* const errNone = u"CltException::NONE";

// The longest a waiter sleeps between two looks at the flags.
constexpr uint32_t startCycleMs = 10;

}  // namespace

CltConnection::CltConnection(Provider_ptr provider, const WString& driverName,
                             int32_t defaultPriority, int32_t timeout, bool factoryFlag,
                             const WString& clientID)
    : CltConnection(provider, WString(), WString(), driverName, defaultPriority, timeout,
                    factoryFlag, clientID) {}

CltConnection::CltConnection(Provider_ptr provider, const WString& user, const WString& password,
                             const WString& driverName, int32_t defaultPriority, int32_t timeout,
                             bool factoryFlag, const WString& clientID) {
    establishConnection(provider, user, password, driverName, defaultPriority, timeout,
                        factoryFlag, clientID);
}

CltConnection::~CltConnection() {
    closeLocally();
    // listener_ goes first of the members: it deactivates the servant and
    // waits for a callback still running elsewhere.
}

void CltConnection::throwIfClosed(const char16_t* operation) {
    if (closed_) throw JMSException(u"connectionClosed: " + WString(operation));
}

WString CltConnection::getClientID() {
    MutexLock lock(rmutex());
    throwIfClosed(u"getClientID");
    return clientID_;
}

void CltConnection::setClientID(const WString& clientID) {
    wire::StringU wireID;
    {
        MutexLock lock(rmutex());
        throwIfClosed(u"setClientID");
        if (clientID_ == clientID) return;
        // Converted first: what cannot travel is refused and never kept.
        wireID = makeStringU(clientID);
        // Kept even when the provider refuses it.
        clientID_ = clientID;
    }
    static const pcall::Table<CltConnection> table{
        {{Exc::ConnectionID, pcall::reason(errClosed), hookFirst},
         {Exc::BadState, pcall::reason(errClosed), hookFirst},
         {Exc::Sec, pcall::reason(errClosed), hookFirst},
         {Exc::BadArg, pcall::reason(errNone)},
         {Exc::System, pcall::word(errClosed), hookFirst}},
        {},
        &CltConnection::closeLocally};
    table.call(*this, [&] { provider_->setClientID(wireID, connectionID_.in()); });
}

ConnectionMetaData* CltConnection::getMetaData() {
    MutexLock lock(rmutex());
    throwIfClosed(u"getMetaData");
    return new CltConnectionMetaData(metaData_);
}

void CltConnection::setExceptionListener(ExceptionListener* listener) {
    {
        MutexLock lock(rmutex());
        throwIfClosed(u"setExceptionListener");
    }
    // Without the state lock: this waits for a callback of the replaced
    // listener, which may be calling into the connection.
    listener_.servant().setExceptionListener(listener);
}

void CltConnection::start() {
    {
        MutexLock lock(rmutex());
        throwIfClosed(u"start");
        if (started_) return;
        started_ = true;  // before the call: it stays set if the call fails
    }
    struct SignalOnExit {
        CltConnection& c;
        ~SignalOnExit() { c.broadcastStartSignal(); }
    } signal{*this};
    static const pcall::Table<CltConnection> table{
        {{Exc::ConnectionID, pcall::reason(errClosed), hookFirst},
         {Exc::BadState, pcall::reason(errClosed), hookFirst},
         {Exc::Sec, pcall::reason(errClosed), hookFirst},
         {Exc::System, pcall::word(errClosed), hookFirst}},
        {},
        &CltConnection::closeLocally};
    table.call(*this, [&] { provider_->start(connectionID_.in()); });
}

void CltConnection::stop() {
    {
        MutexLock lock(rmutex());
        throwIfClosed(u"stop");
        if (!started_) return;
        started_ = false;
    }
    static const pcall::Table<CltConnection> table{
        {{Exc::ConnectionID, pcall::reason(errClosed), hookFirst},
         {Exc::BadState, pcall::reason(errClosed), hookFirst},
         {Exc::Sec, pcall::reason(errClosed), hookFirst},
         {Exc::System, pcall::reason(errClosed), hookFirst}},
        {},
        &CltConnection::closeLocally};
    table.call(*this, [&] { provider_->stop(connectionID_.in()); });
}

void CltConnection::close() {
    {
        MutexLock lock(rmutex());
        throwIfClosed(u"close");
        closed_ = true;
    }
    broadcastStartSignal();
    shutdownListenerAndSessions();
    // Already closed here, so no failure closes anything more.
    static const pcall::Table<CltConnection> table{
        {{Exc::Store, pcall::reason(errClosed)},
         {Exc::Transaction, pcall::reason(errClosed)},
         {Exc::ConnectionID, pcall::reason(errClosed)},
         {Exc::BadState, pcall::reason(errClosed)},
         {Exc::Sec, pcall::reason(errClosed)},
         {Exc::System, pcall::word(errClosed)}}};
    table.call(*this, [&] { provider_->closeConnection(connectionID_.in()); });
}

void CltConnection::closeLocally() {
    {
        MutexLock lock(rmutex());
        if (closed_) return;
        closed_ = true;
    }
    broadcastStartSignal();
    shutdownListenerAndSessions();
}

void CltConnection::shutdownListenerAndSessions() {
    MutexLock lock(sessionLock_);
    listener_.servant().shutdown();
    try {
        listener_.releaseReference();
    } catch (const CORBA::SystemException&) {
        // The reference is gone either way.
    }
    while (!sessionRegistry_.empty()) {
        RegisteredSession* session = sessionRegistry_.front();
        sessionRegistry_.erase(sessionRegistry_.begin());
        session->closeFromConnection();
    }
}

void CltConnection::broadcastStartSignal() {
    MutexLock lock(mutex());
    condition().broadcast();
}

bool CltConnection::waitUntilStarted() { return waitUntilStarted(-1) == StartWait::Started; }

CltConnection::StartWait CltConnection::waitUntilStarted(int64_t deadline) {
    // The flags change under the state lock and are broadcast under the
    // signal mutex afterwards; reading them under the signal mutex before
    // each wait means no broadcast is missed.
    MutexLock lock(mutex());
    for (;;) {
        if (closed_) return StartWait::Closed;
        if (started_) return StartWait::Started;
        uint32_t waitMs = startCycleMs;
        if (deadline >= 0) {
            const int64_t left = deadline - wqClock();
            if (left <= 0) return StartWait::TimedOut;
            waitMs = static_cast<uint32_t>(std::clamp<int64_t>((left + 999) / 1000, 1, startCycleMs));
        }
        try {
            condition().wait(waitMs);
        } catch (const Condition::TimedOutException&) {
            // A cycle ended without news: look again.
        }
    }
}

void CltConnection::checkCreateSession(bool transacted, int32_t acknowledgeMode) {
    if (acknowledgeMode != 1) throw JMSException(u"badAckMode");
    if (transacted && !metaData_.supportsTxSessions()) {
        throw JMSException(u"unsupByDriverTx: " + metaData_.getDriverName());
    }
    MutexLock lock(rmutex());
    throwIfClosed(u"checkCreateSession");
}

template <class Face, class Make>
Face* CltConnection::createSession(bool transacted, int32_t acknowledgeMode, const Make& make) {
    checkCreateSession(transacted, acknowledgeMode);
    // The session translates its own provider failures; these are the ones
    // that mean the connection is gone.
    static const pcall::Table<CltConnection> table{
        {{Exc::ConnectionID, pcall::reason(errClosed), hookFirst},
         {Exc::BadState, pcall::reason(errClosed), hookFirst},
         {Exc::System, pcall::word(errClosed), hookFirst}},
        {},
        &CltConnection::closeLocally};
    NewSession<Face> created = table.call(*this, [&] {
        return make(*this, provider_.in(), transacted, acknowledgeMode, timeout_, sessionFlag_,
                    defaultPriority_);
    });
    addSession(created.registration);
    return created.session.release();
}

QueueSession* CltConnection::createQueueSession(bool transacted, int32_t acknowledgeMode) {
    return createSession<QueueSession>(transacted, acknowledgeMode, newQueueSession);
}

TopicSession* CltConnection::createTopicSession(bool transacted, int32_t acknowledgeMode) {
    return createSession<TopicSession>(transacted, acknowledgeMode, newTopicSession);
}

void CltConnection::addSession(RegisteredSession* session) {
    if (session == nullptr) return;
    MutexLock lock(sessionLock_);
    // Closed meanwhile on another thread: its close has drained the registry
    // already or is waiting for this lock; either way it must not miss this one.
    if (closed_) {
        session->closeFromConnection();
        return;
    }
    sessionRegistry_.erase(std::remove_if(sessionRegistry_.begin(), sessionRegistry_.end(),
                                          [](RegisteredSession* s) { return s->isClosed(); }),
                           sessionRegistry_.end());
    sessionRegistry_.push_back(session);
}

void CltConnection::removeSession(RegisteredSession* session) {
    MutexLock lock(sessionLock_);
    sessionRegistry_.erase(std::remove(sessionRegistry_.begin(), sessionRegistry_.end(), session),
                           sessionRegistry_.end());
}

CltConnectionMetaData& CltConnection::metaData() { return metaData_; }

ConnectionConsumer* CltConnection::createConnectionConsumer(Queue*, const WString&,
                                                            ServerSessionPool*, int32_t) {
    throw NotImplementedException(u"createConnectionConsumer");
}

ConnectionConsumer* CltConnection::createConnectionConsumer(Topic*, const WString&,
                                                            ServerSessionPool*, int32_t) {
    throw NotImplementedException(u"createConnectionConsumer");
}

ConnectionConsumer* CltConnection::createDurableConnectionConsumer(Queue*, const WString&,
                                                                   ServerSessionPool*, int32_t) {
    throw NotImplementedException(u"createDurableConnectionConsumer");
}

ConnectionConsumer* CltConnection::createDurableConnectionConsumer(Topic*, const WString&,
                                                                   const WString&,
                                                                   ServerSessionPool*, int32_t) {
    throw NotImplementedException(u"createDurableConnectionConsumer");
}

}  // namespace jms
