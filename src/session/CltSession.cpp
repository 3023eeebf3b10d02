#include "session/CltSession.h"

#include <jms/JMSException.h>

#include "api/ProviderCall.h"
#include "connection/CltConnection.h"
#include "message/CltBytesMessage.h"
#include "message/CltHeaderMessage.h"
#include "message/CltTextMessage.h"

namespace jms {

using pcall::Exc;

namespace {

std::shared_ptr<SessionCore> makeCore(CltConnection* connection, wireServer::Provider_ptr provider,
                                      bool transacted, int32_t ackMode, int32_t timeout,
                                      int32_t defaultPriority) {
    if (!connection) throw JMSException(u"internal: null connection");
    if (CORBA::is_nil(provider)) throw JMSException(u"internal: null provider");
    if (timeout < 0) throw JMSException(u"badArg: timeout must be >= 0");
    if (defaultPriority < 0 || defaultPriority > 9) throw JMSException(u"badPriority: bad priority");
    if (!transacted && ackMode != 1 && ackMode != 4) throw JMSException(u"badAckMode");
    if (!transacted && ackMode == 1) ackMode = 4;
    SessionContext context{connection->sharedState(),
                           wireServer::Provider::_duplicate(connection->closer()),
                           connection->connectionID(),
                           connection->factoryFlag(), connection->metaData().supportsPersistent(),
                           connection->metaData().supportsNonPersistent()};
    return std::make_shared<SessionCore>(std::move(context), provider, transacted, ackMode);
}

}  // namespace

CltSession::CltSession(CltConnection* connection, wireServer::Provider_ptr provider,
                       bool transacted, int32_t ackMode, int32_t timeout, bool sessionFlag,
                       int32_t defaultPriority)
    : core_(makeCore(connection, provider, transacted, ackMode, timeout, defaultPriority)) {
    // A failure from here on leaves the core, whose callback object goes with it.
    core_->activate();
    core_->setSessionID(
        createProviderSession(core_->context().connectionID, timeout, sessionFlag, defaultPriority));
}

CltSession::~CltSession() {
    {
        MutexLock lock(core_->stateLock());
        core_->closeLocally(true);
    }
    core_->connection().removeSession(core_.get());
    core_->waitForCallbacks();
}

wire::SessionID CltSession::createProviderSession(const wire::ConnectionID& connectionID,
                                                  int32_t timeout, bool sessionFlag,
                                                  int32_t defaultPriority) {
    // What this table leaves alone (the connection-level failures) the
    // connection's session-creating operation translates.
    static const pcall::Table<> table{
        {{Exc::Store, pcall::fixed(u"svrStore: CltException::ERR_SESSION_CREATE")},
         {Exc::Transaction, pcall::fixed(u"svrTransaction: CltException::ERR_SESSION_CREATE")},
         {Exc::BadArg, pcall::fixed(u"svrBadArg: CltException::ERR_SESSION_CREATE")},
         {Exc::Sec, pcall::fixed(u"svrSec: CltException::ERR_SESSION_CREATE")},
         {Exc::Resource, pcall::fixed(u"svrResource: CltException::ERR_SESSION_CREATE")}},
        {pcall::retryResource}};
    wire::SessionID_var id = table.call([&] {
        return core_->provider()->createSession(connectionID, core_->listenerReference(),
                                                core_->ackMode(), core_->transacted(), timeout,
                                                sessionFlag, defaultPriority);
    });
    return id.in();
}

BytesMessage* CltSession::createBytesMessage() { return new CltBytesMessage(); }

MapMessage* CltSession::createMapMessage() {
    throw NotImplementedException(u"CltSession::createMapMessage");
}

Message* CltSession::createMessage() { return new CltHeaderMessage(); }

ObjectMessage* CltSession::createObjectMessage(Object*) {
    throw NotImplementedException(u"CltSession::createObjectMessage");
}

ObjectMessage* CltSession::createObjectMessage() {
    throw NotImplementedException(u"CltSession::createObjectMessage");
}

StreamMessage* CltSession::createStreamMessage() {
    throw NotImplementedException(u"CltSession::createStreamMessage");
}

TextMessage* CltSession::createTextMessage(const WString& text) { return new CltTextMessage(text); }

TextMessage* CltSession::createTextMessage() { return new CltTextMessage(); }

bool CltSession::getTransacted() { return core_->transacted(); }

namespace {

// commit and rollback translate alike; what is not listed passes on.
const pcall::Table<>& transactionTable() {
    static const pcall::Table<> table{
        {{Exc::Transaction, pcall::fixed(u"svrTransaction CltException::NONE")},
         {Exc::BadState, pcall::fixed(u"BadStateException")},
         {Exc::Sec, pcall::fixed(u"svrSec CltException::NONE")},
         {Exc::Concurrency, pcall::fixed(u"svrConcurrency CltException::NONE")},
         {Exc::ConnectionID, pcall::fixed(u"ConnectionIDException")},
         {Exc::SessionID, pcall::fixed(u"SessionIDException")}}};
    return table;
}

}  // namespace

void CltSession::commit() {
    transactionTable().call([&] { core_->provider()->commit(core_->sessionID()); });
}

void CltSession::rollback() {
    UseGuard use(*core_, true);
    transactionTable().call([&] { core_->provider()->rollback(core_->sessionID()); });
}

void CltSession::close() {
    // A listener running elsewhere finishes first, while the session still works for it.
    core_->waitForDelivery(nullptr);
    core_->closeForCaller();
    core_->connection().removeSession(core_.get());
    core_->waitForDelivery(nullptr);
    static const pcall::Table<> table{
        {{Exc::Store, pcall::fixed(u"svrStore", u"CltException::ERR_SESSION_CLOSED")},
         {Exc::ConnectionID, pcall::fixed(u"connectionIDEx")},
         {Exc::SessionID, pcall::fixed(u"svrSessID", u"CltException::ERR_SESSION_CLOSED")},
         {Exc::Concurrency, pcall::fixed(u"svrConcurrency", u"CltException::NONE")},
         {Exc::Transaction, pcall::fixed(u"svrTransaction", u"CltException::NONE")},
         {Exc::Sec, pcall::fixed(u"svrSec", u"CltException::NONE")},
         {Exc::BadState, pcall::fixed(u"BadStateException")},
         {Exc::System, pcall::fixed(u"SystemException")}}};
    table.call([&] { core_->closer()->closeSession(core_->sessionID()); });
}

void CltSession::recover() {
    MutexLock lock(core_->stateLock());
    core_->checkInUseAndClosed(true, false);
    throw NotImplementedException(u"recover");
}

MessageListener* CltSession::getMessageListener() {
    MutexLock lock(core_->stateLock());
    core_->checkInUseAndClosed(true, false);
    return nullptr;
}

void CltSession::setMessageListener(MessageListener*) {
    MutexLock lock(core_->stateLock());
    core_->checkInUseAndClosed(true, false);
    throw NotImplementedException(u"setMessageListener");
}

ByteArray CltSession::getXID() { throw JMSException(u"getXID is not supported"); }

}  // namespace jms
