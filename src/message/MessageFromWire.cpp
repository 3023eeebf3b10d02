#include "message/MessageFromWire.h"

#include "message/CltBytesMessage.h"
#include "message/CltHeaderMessage.h"
#include "message/CltTextMessage.h"

namespace jms {

namespace {

template <class MakeBytes>
std::unique_ptr<CltMessage> build(const wire::JMSMsg& received,
                                  std::shared_ptr<const QuorixDestination> destination,
                                  MakeBytes&& bytesBody) {
    const wire::MsgUnion& body = received.msg;
    switch (body._d()) {
        case 1:
            return std::make_unique<CltTextMessage>(body.text(), received.hdr, std::move(destination));
        case 2:
            return std::make_unique<CltBytesMessage>(bytesBody(), received.hdr,
                                                     std::move(destination));
        case 6:
            return std::make_unique<CltHeaderMessage>(received.hdr, std::move(destination));
        default:
            return nullptr;
    }
}

}  // namespace

std::unique_ptr<CltMessage> messageFromWire(const wire::JMSMsg& received,
                                            const QuorixDestination& destination) {
    return build(received, destination.clone(), [&] {
        const wire::Bytes& bytes = received.msg.bytes().val;
        return BytesBody::copyOf(bytes.get_buffer(), bytes.length());
    });
}

std::unique_ptr<CltMessage> takeMessage(wire::JMSMsg&& received,
                                        std::shared_ptr<const QuorixDestination> destination) {
    return build(received, std::move(destination),
                 [&] { return BytesBody::takenFrom(std::move(received.msg.bytes().val)); });
}

std::unique_ptr<CltMessage> borrowMessage(const wire::JMSMsg& received,
                                          std::shared_ptr<const QuorixDestination> destination) {
    return build(received, std::move(destination),
                 [&] { return BytesBody::borrowing(received.msg.bytes().val); });
}

}  // namespace jms
