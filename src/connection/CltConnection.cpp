#include "connection/CltConnection.h"

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
    if (state_->closed()) throw JMSException(u"connectionClosed: " + WString(operation));
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
        if (state_->started()) return;
        state_->setStarted(true);  // before the call: it stays set if the call fails
    }
    struct SignalOnExit {
        ConnectionState& state;
        ~SignalOnExit() { state.broadcastStartSignal(); }
    } signal{*state_};
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
        if (!state_->started()) return;
        state_->setStarted(false);
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
        state_->setClosed();
    }
    state_->broadcastStartSignal();
    shutdownListenerAndSessions();
    // Already closed here, so no failure closes anything more.
    static const pcall::Table<CltConnection> table{
        {{Exc::Store, pcall::reason(errClosed)},
         {Exc::Transaction, pcall::reason(errClosed)},
         {Exc::ConnectionID, pcall::reason(errClosed)},
         {Exc::BadState, pcall::reason(errClosed)},
         {Exc::Sec, pcall::reason(errClosed)},
         {Exc::System, pcall::word(errClosed)}}};
    table.call(*this, [&] { closer_->closeConnection(connectionID_.in()); });
}

void CltConnection::closeLocally() {
    {
        MutexLock lock(rmutex());
        if (state_->closed()) return;
        state_->setClosed();
    }
    state_->broadcastStartSignal();
    shutdownListenerAndSessions();
}

void CltConnection::shutdownListenerAndSessions() {
    std::vector<std::shared_ptr<RegisteredSession>> closed;
    {
        MutexLock lock(state_->sessionLock());
        listener_.servant().shutdown();
        try {
            listener_.releaseReference();
        } catch (const CORBA::SystemException&) {
            // The reference is gone either way.
        }
        closed = state_->closeSessions();
    }
    // A listener still running elsewhere may use the caller's objects, which
    // the caller may delete once the connection is closed.
    for (const auto& session : closed) session->waitForCallbacks();
}

bool CltConnection::waitUntilStarted() { return waitUntilStarted(-1) == StartWait::Started; }

CltConnection::StartWait CltConnection::waitUntilStarted(int64_t deadline) {
    return state_->waitUntilStarted(deadline);
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
    state_->addSession(created.registration);
    return created.session.release();
}

QueueSession* CltConnection::createQueueSession(bool transacted, int32_t acknowledgeMode) {
    return createSession<QueueSession>(transacted, acknowledgeMode, newQueueSession);
}

TopicSession* CltConnection::createTopicSession(bool transacted, int32_t acknowledgeMode) {
    return createSession<TopicSession>(transacted, acknowledgeMode, newTopicSession);
}

void CltConnection::removeSession(RegisteredSession* session) { state_->removeSession(session); }

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
