#ifndef QJMS_ENDPOINT_CLTQUEUEBROWSER_H
#define QJMS_ENDPOINT_CLTQUEUEBROWSER_H

#include <memory>

#include <jms/Enumeration.h>
#include <jms/Queue.h>
#include <jms/QueueBrowser.h>

#include "endpoint/CltMessageConsumer.h"
#include "sys/Cbase.h"

namespace jms {

/// A queue browser: a consumer of its own that fetches without waiting, and
/// its own enumeration (every getEnumeration shares one position). A fetch
/// that fails is remembered: the enumeration then ends, and nextElement
/// reports the failure's text as NoSuchElementException.
class CltQueueBrowser : public virtual QueueBrowser, public Enumeration, public Cbase {
public:
    /// Takes the consumer the session registered for the browser.
    CltQueueBrowser(std::unique_ptr<CltMessageConsumer> consumer, Queue* queue);
    /// Deletes a message fetched and never handed out, and the consumer.
    ~CltQueueBrowser() override;

    /// A new copy of the browsed queue; caller owns.
    Queue* getQueue() override;
    WString getMessageSelector() override;
    Enumeration* getEnumeration() override;
    void close() override;

    bool hasMoreElements() override;
    Message* nextElement() override;

private:
    /// The consumer's no-wait receive; a failure is recorded and gives null.
    Message* fetch();

    std::unique_ptr<QuorixDestination> queue_;
    std::unique_ptr<CltMessageConsumer> consumer_;
    std::unique_ptr<Message> pending_;
    bool failed_ = false;
    WString failureText_;
};

}  // namespace jms

#endif
