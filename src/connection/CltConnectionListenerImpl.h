#ifndef QJMS_CONNECTION_CLTCONNECTIONLISTENERIMPL_H
#define QJMS_CONNECTION_CLTCONNECTIONLISTENERIMPL_H

#include <vector>

#include <jms/ExceptionListener.h>

#include "sys/Cbase.h"

#include <jmsClient.hh>

namespace jms {

/// The servant through which the provider reaches a connection: server
/// events for the caller's exception listener, and liveness pings.
/// Reference counted by the broker: it may outlive its connection until the
/// last callback returns, and it never points back at the connection.
class CltConnectionListenerImpl
    : public Cbase,
      public virtual POA_zorvane::velt::quorix::corba::jmsClient::ConnectionListener {
public:
    CltConnectionListenerImpl();
    ~CltConnectionListenerImpl() override;

    /// From now on callbacks are ignored and ping answers FALSE.
    virtual void shutdown();
    /// Null removes the listener. Not owned. Returns once no callback on
    /// another thread still runs the listener it replaced, so the caller may
    /// delete that one.
    virtual void setExceptionListener(ExceptionListener* listener);

    /// Returns once no serverException is running on another thread.
    void waitForCallbacks();

    void serverException(CORBA::Long code, const CORBA::WChar* text, CORBA::Long detail1,
                         CORBA::Long detail2,
                         const zorvane::velt::quorix::corba::jmsCommon::IDU& concerned) override;
    CORBA::Boolean ping(const zorvane::velt::quorix::corba::jmsCommon::ConnectionID& connection,
                        zorvane::velt::quorix::corba::jmsCommon::Sessions_out openSessions,
                        zorvane::velt::quorix::corba::jmsCommon::Users_out openConsumers) override;

private:
    class CallbackScope;

    // Waits until no callback on another thread runs `listener` (any
    // listener when null). A callback on the calling thread (a listener
    // deleting its connection or replacing itself) is not waited for: it
    // cannot finish while we wait. Needs mutex() held.
    void waitWhileRunning(const ExceptionListener* listener);

    ExceptionListener* listener_ = nullptr;
    bool shutdown_ = false;
    std::vector<ExceptionListener*> running_;  // one entry per callback in progress
};

}  // namespace jms

#endif
