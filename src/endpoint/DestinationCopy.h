#ifndef QJMS_ENDPOINT_DESTINATIONCOPY_H
#define QJMS_ENDPOINT_DESTINATIONCOPY_H

#include <jms/JMSException.h>

#include "destination/QuorixDestination.h"

namespace jms {

/// A new copy of an endpoint's destination as a queue or topic, owned by the
/// caller; "badDestType" when it is the other kind.
template <class Kind>
Kind* copyAs(const QuorixDestination& destination) {
    std::unique_ptr<QuorixDestination> copy = destination.clone();
    auto* kind = dynamic_cast<Kind*>(copy.get());
    if (!kind) throw JMSException(u"badDestType");
    copy.release();
    return kind;
}

}  // namespace jms

#endif
