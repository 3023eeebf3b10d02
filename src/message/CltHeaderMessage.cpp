#include "message/CltHeaderMessage.h"

namespace jms {

CltHeaderMessage::CltHeaderMessage() = default;

CltHeaderMessage::CltHeaderMessage(const wire::MessageHeader& received,
                                   std::shared_ptr<const QuorixDestination> destination)
    : CltMessage(received, std::move(destination)) {}

CltHeaderMessage::~CltHeaderMessage() = default;

void CltHeaderMessage::clearBody() {}

void CltHeaderMessage::prepareBody(wire::MsgUnion& body) { body.header(1); }

const char16_t* CltHeaderMessage::headerFailureText() const {
    return u"CltHeaderMessage.getJMSMsg: failed to convert hdr";
}

}  // namespace jms
