#include "message/CltHeaderMessage.h"

namespace jms {

CltHeaderMessage::CltHeaderMessage() = default;

CltHeaderMessage::CltHeaderMessage(const wire::MessageHeader& received,
                                   const QuorixDestination& destination)
    : CltMessage(received, destination) {}

CltHeaderMessage::~CltHeaderMessage() = default;

void CltHeaderMessage::clearBody() {}

void CltHeaderMessage::writeBody(wire::MsgUnion& out) const { out.header(1); }

const char16_t* CltHeaderMessage::headerFailureText() const {
    return u"CltHeaderMessage.getJMSMsg: failed to convert hdr";
}

}  // namespace jms
