#ifndef JMS_SERVERSESSIONPOOL_H
#define JMS_SERVERSESSIONPOOL_H

#include <jms/Export.h>

namespace jms {

class ServerSession;

/// A pool of server sessions for connection consumers; the library never uses it.
class JMS_API ServerSessionPool {
public:
    ServerSessionPool() = default;
    ServerSessionPool(const ServerSessionPool&) = default;
    ServerSessionPool& operator=(const ServerSessionPool&) = default;
    virtual ~ServerSessionPool();

    /// A session of the pool; owned by the pool.
    virtual ServerSession* getServerSession() = 0;
};

}  // namespace jms

#endif
