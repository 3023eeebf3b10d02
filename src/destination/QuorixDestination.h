#ifndef QJMS_DESTINATION_QUORIXDESTINATION_H
#define QJMS_DESTINATION_QUORIXDESTINATION_H

#include <memory>

#include <jms/Destination.h>

#include "destination/CltDestination.h"

namespace jms {

/// The common base of this library's queues and topics: the only destinations
/// that messages, producers and consumers accept.
class QuorixDestination : public virtual Destination, public CltDestination {
public:
    ~QuorixDestination() override;

    /// A new object of the same concrete class with a deep copy of the wire form.
    virtual std::unique_ptr<QuorixDestination> clone() const = 0;

    /// A queue or topic built from a wire destination (a received reply-to, for
    /// example), with the same checks as any other construction.
    static std::unique_ptr<QuorixDestination> fromWire(const wire::Destination& dest);

protected:
    using CltDestination::CltDestination;
    QuorixDestination(const QuorixDestination&) = default;
};

/// `dest` as one of this library's destinations, or null when it is another kind.
inline const QuorixDestination* asQuorixDestination(const Destination* dest) {
    return dynamic_cast<const QuorixDestination*>(dest);
}

}  // namespace jms

#endif
