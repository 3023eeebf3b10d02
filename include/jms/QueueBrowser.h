#ifndef JMS_QUEUEBROWSER_H
#define JMS_QUEUEBROWSER_H

#include <jms/Types.h>

namespace jms {

class Enumeration;
class Queue;

/// Looks at the messages of a queue without removing them.
class JMS_API QueueBrowser {
public:
    QueueBrowser() = default;
    QueueBrowser(const QueueBrowser&) = default;
    QueueBrowser& operator=(const QueueBrowser&) = default;
    virtual ~QueueBrowser();

    /// A new copy of the browsed queue; caller owns.
    virtual Queue* getQueue() = 0;
    /// Empty when the browser has no selector.
    virtual WString getMessageSelector() = 0;
    /// The browser's own enumeration, the same on every call; owned by the
    /// browser and valid while it lives.
    virtual Enumeration* getEnumeration() = 0;
    /// Closes the browser at the provider; the object stays for the caller to delete.
    virtual void close() = 0;
};

}  // namespace jms

#endif
