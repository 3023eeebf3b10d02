#ifndef QJMS_CONNECTION_REGISTEREDSESSION_H
#define QJMS_CONNECTION_REGISTEREDSESSION_H

namespace jms {

/// What a connection needs of the sessions in its registry. A session
/// registers through its connection's session-creating operation and
/// unregisters itself (CltConnection::removeSession) when it closes or is
/// deleted while open.
class RegisteredSession {
public:
    /// True once the session is closed; closed entries are dropped from the
    /// registry whenever a session is added.
    virtual bool isClosed() = 0;
    /// The connection is closing: close locally, without calling the provider.
    /// This is the connection's last call on the session, and the connection
    /// may be deleted right after; a session must not call its connection
    /// afterwards (it keeps copies of what it needs from it).
    virtual void closeFromConnection() = 0;

protected:
    RegisteredSession() = default;
    RegisteredSession(const RegisteredSession&) = default;
    RegisteredSession& operator=(const RegisteredSession&) = default;
    ~RegisteredSession() = default;
};

}  // namespace jms

#endif
