#include "message/PropertyName.h"

#include <set>

#include <jms/JMSException.h>

#include "destination/AsciiCase.h"

namespace jms {

namespace {

constexpr size_t maxNameLength = 65535;

// Built before main and never changed, so concurrent readers need no lock.
const std::set<WString> reservedWords = {u"null", u"true", u"false", u"not", u"and",
                                         u"or",   u"between", u"like", u"in", u"is"};

const std::set<WString> knownJmsNames = {
    u"JMSXUserID",       u"JMSXAppID",        u"JMSXDeliveryCount", u"JMSXGroupID",
    u"JMSXGroupSeq",     u"JMSXProducerTXID", u"JMSXConsumerTXID",  u"JMSXRcvTimestamp",
    u"JMSXState",        u"JMSDeliveryMode",  u"JMSPriority",       u"JMSMessageID",
    u"JMSTimestamp",     u"JMSCorrelationID", u"JMSType",           u"JMS_Zorvane_Delay"};

bool startsWith(const WString& s, const char16_t* prefix) {
    return s.compare(0, std::char_traits<char16_t>::length(prefix), prefix) == 0;
}

bool isIdentifierStart(char16_t c) { return isAsciiLetter(c) || c == u'$' || c == u'_'; }

bool isIdentifierPart(char16_t c) {
    return isAsciiLetter(c) || isAsciiDigit(c) || c == u'$' || c == u'_' || c == u'.';
}

[[noreturn]] void refuse(const WString& text) { throw JMSException(text); }

}  // namespace

bool isReservedWord(const WString& name) { return reservedWords.count(toAsciiLower(name)) != 0; }

bool isKnownJmsName(const WString& name) { return knownJmsNames.count(name) != 0; }

void checkPropertyName(const WString& name) {
    if (name.empty()) refuse(u"name is null");
    if (name.size() > maxNameLength) refuse(u"name length must be < 65535");
    if (isReservedWord(name)) refuse(name + u" is a reserved word");
    if (name == u"JMS_Zorvane_Delay") return;
    if (startsWith(name, u"JMS_"))
        refuse(name + u" non-Zorvane vendor specific properties cant be set");
    if (startsWith(name, u"JMS") && !isKnownJmsName(name)) refuse(name + u"is not a known property");
    if (!isIdentifierStart(name[0])) refuse(name + u" is not a valid identifier");
    for (size_t i = 1; i < name.size(); ++i)
        if (!isIdentifierPart(name[i])) refuse(name + u" is not a valid identifier");
}

}  // namespace jms
