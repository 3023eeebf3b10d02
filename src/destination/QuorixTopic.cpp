#include "destination/QuorixTopic.h"

namespace jms {

QuorixTopic::QuorixTopic(const WString& text, bool isDefinition)
    : QuorixDestination(true, text, isDefinition) {}

QuorixTopic::QuorixTopic(const WString& name, const WString& driver, const WStringList& tags,
                         const WStringList& values)
    : QuorixDestination(true, DestinationDefinition{name, driver, tags, values}) {}

QuorixTopic::QuorixTopic(const QuorixTopic& other)
    : Destination(other), QuorixDestination(other), Topic(other) {}

QuorixTopic::~QuorixTopic() = default;

WString QuorixTopic::getTopicName() { return getName(); }

WString QuorixTopic::toString() { return getName(); }

std::unique_ptr<QuorixDestination> QuorixTopic::clone() const {
    return std::make_unique<QuorixTopic>(*this);
}

}  // namespace jms
