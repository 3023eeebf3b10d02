// Typed properties: the get/set matrix, insertion, and the name rules.
#include <gtest/gtest.h>

#include "JmsExpect.h"
#include "PropertyColumns.h"
#include "message/CltBytesMessage.h"
#include "message/CltTextMessage.h"
#include "message/PropertyName.h"

using jms::JMSException;
using jms::WString;

namespace {

using qjmstest::PropertyColumn;
const auto& columns = qjmstest::propertyColumns;

// Each getter reads only its own type, and a name once set keeps its value
// whatever type a later set tries. A missing name reads as a null pointer, an
// empty one is refused, and a read-only message refuses before anything else.
TEST(Properties, TypedAccess) {
    jms::CltBytesMessage readOnly;
    readOnly.setIntProperty(u"kept", 1);
    readOnly.reset();
    for (const PropertyColumn& stored : columns) {
        jms::CltTextMessage m;
        stored.set(m, u"p");
        for (const PropertyColumn& other : columns) {
            SCOPED_TRACE(std::string(stored.type) + " then " + other.type);
            if (&stored == &other) {
                EXPECT_NO_THROW(other.get(m, u"p"));
            } else {
                EXPECT_THROW(other.get(m, u"p"), jms::NullPointerException);
            }
            EXPECT_JMS_THROW(other.set(m, u"p"), JMSException,
                             u"internal error: could not insert property");
        }
        SCOPED_TRACE(stored.type);
        EXPECT_NO_THROW(stored.get(m, u"p"));
        EXPECT_THROW(stored.get(m, u"missing"), jms::NullPointerException);
        EXPECT_JMS_THROW(stored.get(m, u""), JMSException, u"name is null");
        EXPECT_JMS_THROW(stored.set(m, u""), JMSException, u"name is null");
        EXPECT_JMS_THROW(stored.set(readOnly, u""), jms::MessageNotWriteableException,
                         u"message in read only mode");
    }
    EXPECT_EQ(readOnly.getIntProperty(u"kept"), 1);
    readOnly.clearProperties();  // still allowed
    EXPECT_FALSE(readOnly.propertyExists(u"kept"));
}

// The text of the first rule a name breaks; an empty text: accepted.
TEST(PropertyName, Rules) {
    const std::pair<WString, WString> names[] = {
        {u"_x9$_.", u""}, {u"$x", u""}, {u"nullable", u""}, {u"jms_x", u""}, {u"JMSType", u""},
        {u"JMSXRcvTimestamp", u""}, {u"JMS_Zorvane_Delay", u""}, {WString(65535, u'p'), u""},
        {u"", u"name is null"},
        {WString(65536, u'p'), u"name length must be < 65535"},
        {u"bEtWeEn", u"bEtWeEn is a reserved word"},
        {u"is", u"is is a reserved word"},
        {u"JMS_Other", u"JMS_Other non-Zorvane vendor specific properties cant be set"},
        {u"JMS_Zorvane_delay",
         u"JMS_Zorvane_delay non-Zorvane vendor specific properties cant be set"},
        {u"JMSXFoo", u"JMSXFoois not a known property"},
        {u"JMSTypeX", u"JMSTypeXis not a known property"},
        {u"1a", u"1a is not a valid identifier"},
        {u".a", u".a is not a valid identifier"},
        {u"a-b", u"a-b is not a valid identifier"},
        {u"\u00e9t\u00e9", u"\u00e9t\u00e9 is not a valid identifier"},
        {u"a\u00e9", u"a\u00e9 is not a valid identifier"},
        // The dotted capital I is not folded onto "in": it fails as an identifier.
        {u"\u0130n", u"\u0130n is not a valid identifier"},
    };
    for (const auto& [name, text] : names) {
        SCOPED_TRACE(qjmstest::narrow(name.substr(0, 40)));
        if (text.empty()) {
            EXPECT_NO_THROW(jms::checkPropertyName(name));
        } else {
            EXPECT_JMS_THROW(jms::checkPropertyName(name), JMSException, text);
        }
    }
}

}  // namespace
