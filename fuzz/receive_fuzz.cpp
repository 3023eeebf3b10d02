// Feeds arbitrary bytes through the whole receive path: CDR decoding of a
// JMSMsg, construction of the client message, then everything a consumer or
// the library does with it (reading, copying the reply-to, sending it back).
// Any outcome but a built message, no message, or a jms:: exception is a bug.
#include <cstddef>
#include <cstdint>
#include <memory>

#include <jms/JMSException.h>

#include "FuzzWire.h"
#include "destination/QuorixQueue.h"
#include "message/CltBytesMessage.h"
#include "message/CltTextMessage.h"
#include "message/MessageFromWire.h"

namespace {

void exercise(jms::CltMessage& m) {
    for (const auto& name : m.getPropertyNames()) m.propertyExists(name);
    std::unique_ptr<jms::Destination> replyTo(m.getJMSReplyTo());
    std::unique_ptr<jms::Destination> dest(m.getJMSDestination());
    m.getJMSCorrelationIDAsBytes();
    m.getJMSMessageID();
    if (auto* bytes = dynamic_cast<jms::CltBytesMessage*>(&m)) {
        jms::ByteArray out;
        if (bytes->readBytes(out, 3) == 3) bytes->readBytes(out);
    }
    if (auto* text = dynamic_cast<jms::CltTextMessage*>(&m)) text->getText();
    jms::wire::JMSMsg back;
    m.getJMSMsg(back);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    initBroker();
    jms::wire::JMSMsg in;
    try {
        cdrMemoryStream stream;
        stream.put_octet_array(data, static_cast<CORBA::ULong>(size));
        in <<= stream;
    } catch (const CORBA::SystemException&) {
        return 0;  // the broker refuses it before the library sees it
    }
    static const jms::QuorixQueue consumerDestination(u"fuzz", false);
    try {
        std::unique_ptr<jms::CltMessage> m = jms::messageFromWire(in, consumerDestination);
        if (m) exercise(*m);
    } catch (const jms::JMSException&) {
    }
    return 0;
}
