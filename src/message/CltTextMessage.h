#ifndef QJMS_MESSAGE_CLTTEXTMESSAGE_H
#define QJMS_MESSAGE_CLTTEXTMESSAGE_H

#include <jms/TextMessage.h>

#include "message/CltMessage.h"

namespace jms {

/// A message whose body is one wide text, always writable. Empty text travels as
/// the null branch, so empty text and no text are the same.
class CltTextMessage : public CltMessage, public TextMessage {
public:
    CltTextMessage();
    explicit CltTextMessage(const WString& text);
    /// From a zero-terminated text; null gives the empty text.
    explicit CltTextMessage(const char16_t* text);
    /// A received text message; see CltMessageHeader for what it throws.
    CltTextMessage(const wire::TextMessage& body, const wire::MessageHeader& received,
                   std::shared_ptr<const QuorixDestination> destination);
    ~CltTextMessage() override;

    void setText(const WString& text) override;
    WString getText() override;
    /// Empties the text; header, properties and mode stay.
    void clearBody() override;

protected:
    /// Converts the text only when it changed since the last send.
    void prepareBody(wire::MsgUnion& body) override;
    const char16_t* headerFailureText() const override;

private:
    WString text_;
    bool branchSet_ = false;    // the wire body holds the text branch
    bool wireCurrent_ = false;  // ... and in it text_
};

}  // namespace jms

#endif
