#ifndef QJMS_MESSAGE_MESSAGEFROMWIRE_H
#define QJMS_MESSAGE_MESSAGEFROMWIRE_H

#include <memory>

#include "destination/QuorixDestination.h"
#include "message/CltMessage.h"

namespace jms {

/// The client message for a received wire message, for a consumer of
/// `destination`: a text, bytes or header-only message. Null for any other body
/// kind (map, stream, object, unknown), which the caller reports or drops.
/// A header that fails its checks throws (InvalidDestinationException for the
/// reply-to, JMSException for the properties, MessageFormatException for the
/// fields) and no message results.
std::unique_ptr<CltMessage> messageFromWire(const wire::JMSMsg& received,
                                            const QuorixDestination& destination);

/// The same for a message the caller received and gives up: a bytes body
/// keeps the broker's buffer, which `received` loses.
std::unique_ptr<CltMessage> takeMessage(wire::JMSMsg&& received,
                                        std::shared_ptr<const QuorixDestination> destination);

/// The same for a message pushed to a listener: a bytes body is read where
/// the broker put it, so the message must not outlive `received`.
std::unique_ptr<CltMessage> borrowMessage(const wire::JMSMsg& received,
                                          std::shared_ptr<const QuorixDestination> destination);

}  // namespace jms

#endif
