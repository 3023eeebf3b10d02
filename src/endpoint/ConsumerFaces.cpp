#include "destination/QuorixQueue.h"
#include "destination/QuorixTopic.h"
#include "endpoint/CltQueueReceiver.h"
#include "endpoint/CltTopicSubscriber.h"
#include "endpoint/DestinationCopy.h"

namespace jms {

CltQueueReceiver::~CltQueueReceiver() = default;

Queue* CltQueueReceiver::getQueue() { return copyAs<QuorixQueue>(getDestination()); }

CltTopicSubscriber::~CltTopicSubscriber() = default;

Topic* CltTopicSubscriber::getTopic() { return copyAs<QuorixTopic>(getDestination()); }

bool CltTopicSubscriber::getNoLocal() { return false; }

void CltTopicSubscriber::setNoLocal(bool) {
    throw NotImplementedException(u"CltTopicSubscriber::setNoLocal");
}

}  // namespace jms
