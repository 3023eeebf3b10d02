#ifndef JMS_TEXTMESSAGE_H
#define JMS_TEXTMESSAGE_H

#include <jms/Message.h>

namespace jms {

/// A message whose body is one wide text; empty text and no text are the same.
class JMS_API TextMessage : public virtual Message {
public:
    TextMessage() = default;
    TextMessage(const TextMessage&) = default;
    TextMessage& operator=(const TextMessage&) = default;
    ~TextMessage() override;

    virtual void setText(const WString& text) = 0;
    virtual WString getText() = 0;
};

}  // namespace jms

#endif
