#include "session/SessionListener.h"

#include <algorithm>

#include "connection/CallBounds.h"
#include "connection/CltOrb.h"
#include "idl/WireText.h"
#include "session/SessionCore.h"
#include "sys/wq.h"

namespace jms {

namespace {

thread_local const SessionListener* tlInCallOf = nullptr;

}  // namespace

class SessionListener::Gone : public Cbase {
public:
    void signal() {
        MutexLock lock(mutex());
        gone_ = true;
        condition().broadcast();
    }
    /// False when `ms` passed first.
    bool waitFor(uint32_t ms) {
        const int64_t deadline = wqDeadline(wqClock(), ms);
        MutexLock lock(mutex());
        while (!gone_) {
            const int64_t left = deadline - wqClock();
            if (left <= 0) return false;
            try {
                condition().wait(static_cast<uint32_t>(std::max<int64_t>(1, left / 1000)));
            } catch (const Condition::TimedOutException&) {
            }
        }
        return true;
    }

private:
    bool gone_ = false;
};

SessionListener::SessionListener(std::weak_ptr<SessionCore> session, std::shared_ptr<Gone> gone)
    : session_(std::move(session)), gone_(std::move(gone)) {}

SessionListener::~SessionListener() { gone_->signal(); }

bool SessionListener::inCallOf(const SessionListener* servant) { return tlInCallOf == servant; }

void SessionListener::onMessage(const wire::JMSMsg& message, const wire::UID& consumer) {
    struct InCall {
        const SessionListener* previous = tlInCallOf;
        explicit InCall(const SessionListener* s) { tlInCallOf = s; }
        ~InCall() { tlInCallOf = previous; }
    } inCall(this);
    std::shared_ptr<SessionCore> session = session_.lock();
    if (!session) throw wire::SessionIDException(toCorbaWString(u" the session is closed ").in(), 0);
    session->onMessage(message, consumer);
}

SessionEndpoint::SessionEndpoint(const std::shared_ptr<SessionCore>& session)
    : gone_(std::make_shared<SessionListener::Gone>()),
      servant_(new SessionListener(session, gone_)) {
    poa_ = PortableServer::POA::_duplicate(CltOrb::instance().rootPOA());
    objectId_ = poa_->activate_object(servant_.in());
    active_ = true;
    CORBA::Object_var object = poa_->id_to_reference(objectId_.in());
    reference_ = wireClient::MessageListener::_narrow(object.in());
}

SessionEndpoint::~SessionEndpoint() { retire(); }

void SessionEndpoint::retire() {
    if (!active_) return;
    active_ = false;
    try {
        poa_->deactivate_object(objectId_.in());
    } catch (const CORBA::Exception&) {
        // Already gone with the broker: nothing left to dispatch to us.
    }
    const bool ownCall = SessionListener::inCallOf(servant_.in());
    servant_ = nullptr;  // the broker holds the servant until its last call is done
    if (!ownCall) gone_->waitFor(callbounds::closeMs());
}

}  // namespace jms
