#ifndef QJMS_DESTINATION_QUORIXTOPIC_H
#define QJMS_DESTINATION_QUORIXTOPIC_H

#include <jms/Topic.h>

#include "destination/QuorixDestination.h"

namespace jms {

/// A topic of the provider, plain or defined by a driver.
class QuorixTopic : public QuorixDestination, public Topic {
public:
    /// See CltDestination for the two forms of `text`.
    QuorixTopic(const WString& text, bool isDefinition);
    QuorixTopic(const WString& name, const WString& driver, const WStringList& tags,
                const WStringList& values);
    QuorixTopic(const QuorixTopic& other);
    ~QuorixTopic() override;

    WString getTopicName() override;
    WString toString() override;
    std::unique_ptr<QuorixDestination> clone() const override;
};

}  // namespace jms

#endif
