#ifndef QJMS_CONNECTION_LISTENERENDPOINT_H
#define QJMS_CONNECTION_LISTENERENDPOINT_H

#include <omniORB4/CORBA.h>

#include "connection/CltConnectionListenerImpl.h"

namespace jms {

/// A connection's listener servant with its activation and reference. When
/// it goes, the servant is shut down and deactivated, and a callback still
/// running on another thread is waited for, so no callback outlives the
/// connection; the broker frees the servant after its last call returns.
class ListenerEndpoint {
public:
    /// Throws ResourceAllocationException when the servant cannot be built.
    ListenerEndpoint();
    ~ListenerEndpoint();
    ListenerEndpoint(const ListenerEndpoint&) = delete;
    ListenerEndpoint& operator=(const ListenerEndpoint&) = delete;

    CltConnectionListenerImpl& servant() { return *servant_; }

    /// Activates the servant in `poa` and keeps its reference; broker
    /// failures surface as CORBA::SystemException.
    void activate(PortableServer::POA_ptr poa);
    /// The reference to send to the provider; nil before activate() and
    /// after releaseReference().
    zorvane::velt::quorix::corba::jmsClient::ConnectionListener_ptr reference() const {
        return reference_.in();
    }
    void releaseReference() { reference_ = zorvane::velt::quorix::corba::jmsClient::ConnectionListener::_nil(); }

private:
    void deactivate() noexcept;

    PortableServer::Servant_var<CltConnectionListenerImpl> servant_;
    PortableServer::POA_var poa_;
    PortableServer::ObjectId_var objectId_;
    bool active_ = false;
    zorvane::velt::quorix::corba::jmsClient::ConnectionListener_var reference_;
};

}  // namespace jms

#endif
