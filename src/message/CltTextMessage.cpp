#include "message/CltTextMessage.h"

#include "idl/WireText.h"
#include "idl/WireValues.h"

namespace jms {

CltTextMessage::CltTextMessage() = default;

CltTextMessage::CltTextMessage(const WString& text) : text_(text) {}

CltTextMessage::CltTextMessage(const char16_t* text) : text_(text ? text : u"") {}

CltTextMessage::CltTextMessage(const wire::TextMessage& body, const wire::MessageHeader& received,
                               const QuorixDestination& destination)
    : CltMessage(received, destination), text_(readTextMessage(body)) {}

CltTextMessage::~CltTextMessage() = default;

void CltTextMessage::setText(const WString& text) { text_ = text; }

WString CltTextMessage::getText() { return text_; }

void CltTextMessage::clearBody() { text_.clear(); }

void CltTextMessage::writeBody(wire::MsgUnion& out) const { out.text(makeTextMessage(text_)); }

const char16_t* CltTextMessage::headerFailureText() const {
    return u"CltTextMessage.getJMSMsg: failed to convert hdr";
}

}  // namespace jms
