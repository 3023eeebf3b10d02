#ifndef QJMS_CONNECTION_REGISTEREDSESSION_H
#define QJMS_CONNECTION_REGISTEREDSESSION_H

#include <memory>

namespace jms {

/// What a connection needs of the sessions in its registry. A session
/// registers through its connection's session-creating operation and
/// unregisters itself (ConnectionState::removeSession) when it closes or is
/// deleted.
class RegisteredSession {
public:
    /// True once the session is closed; closed entries are dropped from the
    /// registry whenever a session is added.
    virtual bool isClosed() = 0;
    /// The connection is closing: close locally, without calling the provider.
    /// Runs under the connection's session lock, so it must not wait.
    virtual void closeFromConnection() = 0;
    /// Keeps the session's state alive while the connection waits for it.
    virtual std::shared_ptr<RegisteredSession> share() = 0;
    /// Returns once no message delivery of the session runs on another thread.
    virtual void waitForCallbacks() = 0;

protected:
    RegisteredSession() = default;
    RegisteredSession(const RegisteredSession&) = default;
    RegisteredSession& operator=(const RegisteredSession&) = default;
    ~RegisteredSession() = default;
};

}  // namespace jms

#endif
