#include "endpoint/CltQueueBrowser.h"

#include <jms/Message.h>

#include "destination/QuorixQueue.h"
#include "endpoint/DestinationCopy.h"

namespace jms {

CltQueueBrowser::CltQueueBrowser(std::unique_ptr<CltMessageConsumer> consumer, Queue* queue)
    : consumer_(std::move(consumer)) {
    const QuorixDestination* own = asQuorixDestination(queue);
    if (!own) throw JMSException(u"badDestType");
    queue_ = own->clone();
}

CltQueueBrowser::~CltQueueBrowser() = default;

Queue* CltQueueBrowser::getQueue() { return copyAs<QuorixQueue>(*queue_); }

WString CltQueueBrowser::getMessageSelector() { return consumer_->getMessageSelector(); }

Enumeration* CltQueueBrowser::getEnumeration() { return this; }

void CltQueueBrowser::close() { consumer_->close(); }

Message* CltQueueBrowser::fetch() {
    try {
        return consumer_->receiveNoWait();
    } catch (const JMSException& e) {
        failureText_ = e.getMessage();
        failed_ = true;
        return nullptr;
    }
}

bool CltQueueBrowser::hasMoreElements() {
    MutexLock lock(rmutex());
    if (failed_) return false;
    if (!pending_) pending_.reset(fetch());
    return pending_ != nullptr;
}

Message* CltQueueBrowser::nextElement() {
    MutexLock lock(rmutex());
    if (failed_) throw NoSuchElementException(failureText_);
    if (pending_) return pending_.release();
    Message* next = fetch();
    if (next) return next;
    if (failed_) return nullptr;
    throw NoSuchElementException(u"no message available");
}

}  // namespace jms
