#ifndef QJMS_ENDPOINT_CLTQUEUERECEIVER_H
#define QJMS_ENDPOINT_CLTQUEUERECEIVER_H

#include <jms/Queue.h>
#include <jms/QueueReceiver.h>

#include "endpoint/CltMessageConsumer.h"

namespace jms {

/// The queue face of a consumer.
class CltQueueReceiver : public QueueReceiver, public CltMessageConsumer {
public:
    using CltMessageConsumer::CltMessageConsumer;
    ~CltQueueReceiver() override;

    /// A new copy of the receiver's queue; caller owns.
    Queue* getQueue() override;
};

}  // namespace jms

#endif
