#include "destination/QuorixQueue.h"

namespace jms {

QuorixQueue::QuorixQueue(const WString& text, bool isDefinition)
    : QuorixDestination(false, text, isDefinition) {}

QuorixQueue::QuorixQueue(const WString& name, const WString& driver, const WStringList& tags,
                         const WStringList& values)
    : QuorixDestination(false, DestinationDefinition{name, driver, tags, values}) {}

QuorixQueue::QuorixQueue(const QuorixQueue& other)
    : Destination(other), Queue(other), QuorixDestination(other) {}

QuorixQueue::~QuorixQueue() = default;

WString QuorixQueue::getQueueName() { return getName(); }

WString QuorixQueue::toString() { return getName(); }

std::unique_ptr<QuorixDestination> QuorixQueue::clone() const {
    return std::make_unique<QuorixQueue>(*this);
}

}  // namespace jms
