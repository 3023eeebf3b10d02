#ifndef QJMS_CONNECTION_SESSIONCREATION_H
#define QJMS_CONNECTION_SESSIONCREATION_H

#include <cstdint>
#include <memory>

#include <jms/QueueSession.h>
#include <jms/TopicSession.h>

#include "connection/RegisteredSession.h"

#include "idl/WireTypes.h"

namespace jms {

class CltConnection;

/// A session just built: the caller's face of it, and its registry entry.
template <class Face>
struct NewSession {
    std::unique_ptr<Face> session;
    RegisteredSession* registration = nullptr;
};

// The session layer's side of CltConnection::createQueueSession and
// createTopicSession. Each builds the session, which registers itself with the
// provider; the connection has already refused bad modes and a closed state,
// translates the broker's connection-level failures and registers the result.
// The arguments are what the connection hands every session.
NewSession<QueueSession> newQueueSession(CltConnection& connection,
                                         zorvane::velt::quorix::corba::jmsServer::Provider_ptr provider,
                                         bool transacted, int32_t acknowledgeMode, int32_t timeout,
                                         bool sessionFlag, int32_t defaultPriority);
NewSession<TopicSession> newTopicSession(CltConnection& connection,
                                         zorvane::velt::quorix::corba::jmsServer::Provider_ptr provider,
                                         bool transacted, int32_t acknowledgeMode, int32_t timeout,
                                         bool sessionFlag, int32_t defaultPriority);

}  // namespace jms

#endif
