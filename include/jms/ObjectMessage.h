#ifndef JMS_OBJECTMESSAGE_H
#define JMS_OBJECTMESSAGE_H

#include <jms/Message.h>

namespace jms {

/// A message whose body is one object. The library does not create object
/// messages; the interface is here for callers and other providers.
class JMS_API ObjectMessage : public virtual Message {
public:
    ObjectMessage() = default;
    ObjectMessage(const ObjectMessage&) = default;
    ObjectMessage& operator=(const ObjectMessage&) = default;
    ~ObjectMessage() override;

    virtual void setObject(Object* object) = 0;
    /// Not owned by the caller.
    virtual Object* getObject() = 0;
};

}  // namespace jms

#endif
