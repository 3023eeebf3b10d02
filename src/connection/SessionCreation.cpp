#include "connection/SessionCreation.h"

#include "session/CltQueueSession.h"
#include "session/CltTopicSession.h"

namespace jms {

namespace {

template <class Face, class Session>
NewSession<Face> build(CltConnection& connection, wireServer::Provider_ptr provider,
                       bool transacted, int32_t acknowledgeMode, int32_t timeout, bool sessionFlag,
                       int32_t defaultPriority) {
    auto session = std::make_unique<Session>(&connection, provider, transacted, acknowledgeMode,
                                             timeout, sessionFlag, defaultPriority);
    RegisteredSession* registration = &session->core();
    return {std::move(session), registration};
}

}  // namespace

NewSession<QueueSession> newQueueSession(CltConnection& connection,
                                         wireServer::Provider_ptr provider, bool transacted,
                                         int32_t acknowledgeMode, int32_t timeout,
                                         bool sessionFlag, int32_t defaultPriority) {
    return build<QueueSession, CltQueueSession>(connection, provider, transacted, acknowledgeMode,
                                                timeout, sessionFlag, defaultPriority);
}

NewSession<TopicSession> newTopicSession(CltConnection& connection,
                                         wireServer::Provider_ptr provider, bool transacted,
                                         int32_t acknowledgeMode, int32_t timeout,
                                         bool sessionFlag, int32_t defaultPriority) {
    return build<TopicSession, CltTopicSession>(connection, provider, transacted, acknowledgeMode,
                                                timeout, sessionFlag, defaultPriority);
}

}  // namespace jms
