#ifndef JMS_SERVERSESSION_H
#define JMS_SERVERSESSION_H

#include <jms/Export.h>

namespace jms {

class Session;

/// A session paired with a thread for connection consumers; the library
/// never uses it.
class JMS_API ServerSession {
public:
    ServerSession() = default;
    ServerSession(const ServerSession&) = default;
    ServerSession& operator=(const ServerSession&) = default;
    virtual ~ServerSession();

    /// Owned by the server session.
    virtual Session* getSession() = 0;
    virtual void start() = 0;
};

}  // namespace jms

#endif
