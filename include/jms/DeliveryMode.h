#ifndef JMS_DELIVERYMODE_H
#define JMS_DELIVERYMODE_H

#include <cstdint>

#include <jms/Export.h>

namespace jms {

/// The delivery-mode values of a message header and a producer.
class JMS_API DeliveryMode {
public:
    /// The provider may lose the message on failure.
    static constexpr int32_t NON_PERSISTENT = 1;
    /// The provider keeps the message across failures; the default.
    static constexpr int32_t PERSISTENT = 2;
};

}  // namespace jms

#endif
