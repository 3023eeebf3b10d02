#include "connection/SessionCreation.h"

#include <jms/JMSException.h>

namespace jms {

// Sessions are not built yet: the connection's checks run, then this refuses.

NewSession<QueueSession> newQueueSession(CltConnection&,
                                         zorvane::velt::quorix::corba::jmsServer::Provider_ptr,
                                         bool, int32_t, int32_t, bool, int32_t) {
    throw NotImplementedException();
}

NewSession<TopicSession> newTopicSession(CltConnection&,
                                         zorvane::velt::quorix::corba::jmsServer::Provider_ptr,
                                         bool, int32_t, int32_t, bool, int32_t) {
    throw NotImplementedException();
}

}  // namespace jms
