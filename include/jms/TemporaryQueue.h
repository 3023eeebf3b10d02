#ifndef JMS_TEMPORARYQUEUE_H
#define JMS_TEMPORARYQUEUE_H

#include <jms/Queue.h>

namespace jms {

/// A queue that lives as long as its connection. The library creates none;
/// callers and other providers may implement it.
class JMS_API TemporaryQueue : public virtual Queue, public virtual Destination {
public:
    TemporaryQueue() = default;
    TemporaryQueue(const TemporaryQueue&) = default;
    TemporaryQueue& operator=(const TemporaryQueue&) = default;
    ~TemporaryQueue() override;

    /// Deletes the queue at the provider (the JMS `delete`, a C++ keyword).
    /// The object itself stays alive; its owner deletes it.
    virtual void destroy() = 0;
};

}  // namespace jms

#endif
