#ifndef JMS_DESTINATION_H
#define JMS_DESTINATION_H

#include <jms/Export.h>

namespace jms {

/// A queue or topic at the provider. The only operations are those of its
/// faces (Queue, Topic); the class exists so that any destination can be held
/// and tested by dynamic type.
class JMS_API Destination {
    // Keeps the class polymorphic and anchors its type information in the
    // library; does nothing.
    virtual void now_polymorphic();

public:
    Destination() = default;
    Destination(const Destination&) = default;
    Destination& operator=(const Destination&) = default;
    virtual ~Destination();
};

}  // namespace jms

#endif
