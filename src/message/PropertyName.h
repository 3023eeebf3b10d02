#ifndef QJMS_MESSAGE_PROPERTYNAME_H
#define QJMS_MESSAGE_PROPERTYNAME_H

#include <jms/Types.h>

namespace jms {

/// True for the ten selector words ("null", "true", ..., "is"), matched without
/// regard to case.
bool isReservedWord(const WString& name);

/// True for the sixteen names that may be used although they begin with "JMS".
bool isKnownJmsName(const WString& name);

/// Refuses a property name a caller may not set, with the text of the first rule it
/// breaks (JMSException). Letters and digits are classified over ASCII only.
void checkPropertyName(const WString& name);

}  // namespace jms

#endif
