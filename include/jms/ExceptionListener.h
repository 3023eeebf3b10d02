#ifndef JMS_EXCEPTIONLISTENER_H
#define JMS_EXCEPTIONLISTENER_H

#include <jms/Export.h>

namespace jms {

class JMSException;

/// Implemented by the caller to hear of problems the provider reports for a
/// connection. The library keeps no ownership of the listener.
class JMS_API ExceptionListener {
public:
    ExceptionListener() = default;
    ExceptionListener(const ExceptionListener&) = default;
    ExceptionListener& operator=(const ExceptionListener&) = default;
    virtual ~ExceptionListener();

    /// Runs on a broker thread. The library deletes `exception` when this
    /// returns.
    virtual void onException(JMSException* exception) = 0;
};

}  // namespace jms

#endif
