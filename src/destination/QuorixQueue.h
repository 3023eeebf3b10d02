#ifndef QJMS_DESTINATION_QUORIXQUEUE_H
#define QJMS_DESTINATION_QUORIXQUEUE_H

#include <jms/Queue.h>

#include "destination/QuorixDestination.h"

namespace jms {

/// A queue of the provider, plain or defined by a driver (never for a topic-only driver).
class QuorixQueue : public Queue, public QuorixDestination {
public:
    /// See CltDestination for the two forms of `text`.
    QuorixQueue(const WString& text, bool isDefinition);
    QuorixQueue(const WString& name, const WString& driver, const WStringList& tags,
                const WStringList& values);
    QuorixQueue(const QuorixQueue& other);
    ~QuorixQueue() override;

    WString getQueueName() override;
    WString toString() override;
    std::unique_ptr<QuorixDestination> clone() const override;
};

}  // namespace jms

#endif
