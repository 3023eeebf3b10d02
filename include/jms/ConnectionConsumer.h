#ifndef JMS_CONNECTIONCONSUMER_H
#define JMS_CONNECTIONCONSUMER_H

#include <jms/Export.h>

namespace jms {

class ServerSessionPool;

/// Feeds messages to a server session pool. The library does not create
/// connection consumers.
class JMS_API ConnectionConsumer {
public:
    ConnectionConsumer() = default;
    ConnectionConsumer(const ConnectionConsumer&) = default;
    ConnectionConsumer& operator=(const ConnectionConsumer&) = default;
    virtual ~ConnectionConsumer();

    /// The pool given at creation; not owned by the caller.
    virtual ServerSessionPool* getServerSessionPool() = 0;
    virtual void close() = 0;
};

}  // namespace jms

#endif
