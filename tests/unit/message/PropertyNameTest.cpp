#include <gtest/gtest.h>

#include "JmsExpect.h"
#include "message/PropertyName.h"

using jms::JMSException;
using jms::WString;

namespace {

TEST(PropertyName, AcceptedNames) {
    const WString accepted[] = {
        u"a", u"likely", u"a.b", u"$x", u"_1", u"x9$_.",
        u"JMSXGroupID", u"JMSType", u"JMSXRcvTimestamp", u"JMS_Zorvane_Delay",
        u"jmsAnything", u"jms_x", u"Jms_y", u"nullable", u"isx",
        WString(65535, u'p'),
    };
    for (const auto& name : accepted) {
        SCOPED_TRACE(qjmstest::narrow(name.substr(0, 40)));
        EXPECT_NO_THROW(jms::checkPropertyName(name));
    }
}

struct Refused {
    WString name;
    WString message;
};

TEST(PropertyName, RefusedNamesWithTexts) {
    const Refused cases[] = {
        {u"", u"name is null"},
        {WString(65536, u'p'), u"name length must be < 65535"},
        {u"Like", u"Like is a reserved word"},
        {u"NULL", u"NULL is a reserved word"},
        {u"bEtWeEn", u"bEtWeEn is a reserved word"},
        {u"is", u"is is a reserved word"},
        {u"JMS_Other", u"JMS_Other non-Zorvane vendor specific properties cant be set"},
        {u"JMS_Zorvane_delay", u"JMS_Zorvane_delay non-Zorvane vendor specific properties cant be set"},
        {u"JMSXFoo", u"JMSXFoois not a known property"},
        {u"JMS", u"JMSis not a known property"},
        {u"JMSTypeX", u"JMSTypeXis not a known property"},
        {u"1a", u"1a is not a valid identifier"},
        {u".a", u".a is not a valid identifier"},
        {u"a-b", u"a-b is not a valid identifier"},
        {u"a b", u"a b is not a valid identifier"},
        {u"\u00e9t\u00e9", u"\u00e9t\u00e9 is not a valid identifier"},
        {u"a\u00e9", u"a\u00e9 is not a valid identifier"},
        {u"a\u4e2d", u"a\u4e2d is not a valid identifier"},
        // The dotted capital I is not folded onto "in": it fails as an identifier.
        {u"\u0130n", u"\u0130n is not a valid identifier"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(qjmstest::narrow(c.name.substr(0, 40)));
        EXPECT_JMS_THROW(jms::checkPropertyName(c.name), JMSException, c.message);
    }
}

}  // namespace
