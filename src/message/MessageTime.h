#ifndef QJMS_MESSAGE_MESSAGETIME_H
#define QJMS_MESSAGE_MESSAGETIME_H

#include <cstdint>

namespace jms {

/// The wall clock in milliseconds since the Unix epoch: the time base of
/// JMSTimestamp and JMSExpiration. Waits use the monotonic wqClock instead.
int64_t currentTimeMillis();

}  // namespace jms

#endif
