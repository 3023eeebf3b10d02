#ifndef JMS_CONNECTION_H
#define JMS_CONNECTION_H

#include <jms/Types.h>

namespace jms {

class ConnectionMetaData;
class ExceptionListener;

/// A live connection to the provider. It starts stopped: synchronous
/// receives wait until start().
class JMS_API Connection {
public:
    Connection() = default;
    Connection(const Connection&) = default;
    Connection& operator=(const Connection&) = default;
    virtual ~Connection();

    /// Empty when none is set.
    virtual WString getClientID() = 0;
    virtual void setClientID(const WString& clientID) = 0;
    /// A new copy of the provider's metadata; caller owns.
    virtual ConnectionMetaData* getMetaData() = 0;
    /// Null removes the listener. The caller keeps `listener` and must keep
    /// it alive while it is set. Returns once no call of the replaced
    /// listener runs on another thread, so it may be deleted right after.
    virtual void setExceptionListener(ExceptionListener* listener) = 0;
    virtual void start() = 0;
    virtual void stop() = 0;
    /// Closes the connection and every session it made; the objects stay for
    /// the caller to delete.
    virtual void close() = 0;
};

}  // namespace jms

#endif
