#include "message/MessageFromWire.h"

#include "message/CltBytesMessage.h"
#include "message/CltHeaderMessage.h"
#include "message/CltTextMessage.h"

namespace jms {

std::unique_ptr<CltMessage> messageFromWire(const wire::JMSMsg& received,
                                            const QuorixDestination& destination) {
    const wire::MsgUnion& body = received.msg;
    switch (body._d()) {
        case 1:
            return std::make_unique<CltTextMessage>(body.text(), received.hdr, destination);
        case 2:
            return std::make_unique<CltBytesMessage>(body.bytes().val, received.hdr, destination);
        case 6:
            return std::make_unique<CltHeaderMessage>(received.hdr, destination);
        default:
            return nullptr;
    }
}

}  // namespace jms
