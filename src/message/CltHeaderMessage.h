#ifndef QJMS_MESSAGE_CLTHEADERMESSAGE_H
#define QJMS_MESSAGE_CLTHEADERMESSAGE_H

#include "message/CltMessage.h"

namespace jms {

/// A message with header and properties only; it travels as the "header" branch.
class CltHeaderMessage : public CltMessage {
public:
    CltHeaderMessage();
    /// A received header-only message; see CltMessageHeader for what it throws.
    CltHeaderMessage(const wire::MessageHeader& received,
                     std::shared_ptr<const QuorixDestination> destination);
    ~CltHeaderMessage() override;

    /// There is no body: does nothing.
    void clearBody() override;

protected:
    void prepareBody(wire::MsgUnion& body) override;
    const char16_t* headerFailureText() const override;
};

}  // namespace jms

#endif
