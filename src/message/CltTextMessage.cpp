#include "message/CltTextMessage.h"

#include "idl/WireText.h"
#include "idl/WireValues.h"

namespace jms {

CltTextMessage::CltTextMessage() = default;

CltTextMessage::CltTextMessage(const WString& text) : text_(text) {}

CltTextMessage::CltTextMessage(const char16_t* text) : text_(text ? text : u"") {}

CltTextMessage::CltTextMessage(const wire::TextMessage& body, const wire::MessageHeader& received,
                               std::shared_ptr<const QuorixDestination> destination)
    : CltMessage(received, std::move(destination)), text_(readTextMessage(body)) {}

CltTextMessage::~CltTextMessage() = default;

void CltTextMessage::setText(const WString& text) {
    text_ = text;
    wireCurrent_ = false;
}

WString CltTextMessage::getText() { return text_; }

void CltTextMessage::clearBody() {
    text_.clear();
    wireCurrent_ = false;
}

void CltTextMessage::prepareBody(wire::MsgUnion& body) {
    if (wireCurrent_) return;
    if (!branchSet_) {
        wire::TextMessage none;
        none.nullValue(0);
        body.text(none);
        branchSet_ = true;
    }
    // Converted into the branch itself: the wide text is not copied again.
    fillTextMessage(body.text(), text_);
    wireCurrent_ = true;
}

const char16_t* CltTextMessage::headerFailureText() const {
    return u"CltTextMessage.getJMSMsg: failed to convert hdr";
}

}  // namespace jms
