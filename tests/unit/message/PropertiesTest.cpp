#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "JmsExpect.h"
#include "message/CltBytesMessage.h"
#include "message/CltTextMessage.h"

using jms::JMSException;
using jms::WString;
using jms::WStringList;

namespace {

// One column per property type: how to set it and how to read it back as that type.
struct TypeColumn {
    const char* type;
    std::function<void(jms::Message&, const WString&)> set;
    std::function<void(jms::Message&, const WString&)> get;  // throws on mismatch
};

std::vector<TypeColumn> columns() {
    return {
        {"boolean", [](jms::Message& m, const WString& n) { m.setBooleanProperty(n, true); },
         [](jms::Message& m, const WString& n) { EXPECT_TRUE(m.getBooleanProperty(n)); }},
        {"byte", [](jms::Message& m, const WString& n) { m.setByteProperty(n, -7); },
         [](jms::Message& m, const WString& n) { EXPECT_EQ(m.getByteProperty(n), -7); }},
        {"short", [](jms::Message& m, const WString& n) { m.setShortProperty(n, -300); },
         [](jms::Message& m, const WString& n) { EXPECT_EQ(m.getShortProperty(n), -300); }},
        {"int", [](jms::Message& m, const WString& n) { m.setIntProperty(n, 70000); },
         [](jms::Message& m, const WString& n) { EXPECT_EQ(m.getIntProperty(n), 70000); }},
        {"long", [](jms::Message& m, const WString& n) { m.setLongProperty(n, INT64_MIN); },
         [](jms::Message& m, const WString& n) { EXPECT_EQ(m.getLongProperty(n), INT64_MIN); }},
        {"float", [](jms::Message& m, const WString& n) { m.setFloatProperty(n, 1.5f); },
         [](jms::Message& m, const WString& n) { EXPECT_EQ(m.getFloatProperty(n), 1.5f); }},
        {"double", [](jms::Message& m, const WString& n) { m.setDoubleProperty(n, -2.25); },
         [](jms::Message& m, const WString& n) { EXPECT_EQ(m.getDoubleProperty(n), -2.25); }},
        {"string", [](jms::Message& m, const WString& n) { m.setStringProperty(n, u"v\u00e9"); },
         [](jms::Message& m, const WString& n) { EXPECT_EQ(m.getStringProperty(n), u"v\u00e9"); }},
    };
}

// Every getter reads only its own type: no conversion between property types.
TEST(TypedProperties, GetSetMatrix) {
    const auto cols = columns();
    for (const auto& stored : cols) {
        jms::CltTextMessage m;
        stored.set(m, u"p");
        for (const auto& read : cols) {
            SCOPED_TRACE(std::string(stored.type) + " read as " + read.type);
            if (&stored == &read) {
                EXPECT_NO_THROW(read.get(m, u"p"));
            } else {
                EXPECT_THROW(read.get(m, u"p"), jms::NullPointerException);
            }
        }
    }
}

TEST(TypedProperties, MissingAndEmptyNames) {
    jms::CltTextMessage m;
    for (const auto& col : columns()) {
        SCOPED_TRACE(col.type);
        EXPECT_THROW(col.get(m, u"missing"), jms::NullPointerException);
        EXPECT_JMS_THROW(col.get(m, u""), JMSException, u"name is null");
        EXPECT_JMS_THROW(col.set(m, u""), JMSException, u"name is null");
        EXPECT_JMS_THROW(col.set(m, u"Like"), JMSException, u"Like is a reserved word");
    }
    EXPECT_FALSE(m.propertyExists(u""));
}

TEST(TypedProperties, InsertNeverReplaces) {
    for (const auto& col : columns()) {
        SCOPED_TRACE(col.type);
        jms::CltTextMessage m;
        m.setIntProperty(u"a", 1);
        EXPECT_JMS_THROW(col.set(m, u"a"), JMSException,
                         u"internal error: could not insert property");
        EXPECT_EQ(m.getIntProperty(u"a"), 1);
        m.clearProperties();
        EXPECT_FALSE(m.propertyExists(u"a"));
        EXPECT_NO_THROW(col.set(m, u"a"));
        EXPECT_NO_THROW(col.get(m, u"a"));
    }
}

TEST(TypedProperties, ValuesAtTheirLimits) {
    jms::CltTextMessage m;
    m.setByteProperty(u"b", INT8_MIN);
    m.setShortProperty(u"s", INT16_MAX);
    m.setDoubleProperty(u"nan", NAN);
    m.setStringProperty(u"long", WString(65535, u'x'));
    m.setStringProperty(u"empty", u"");
    EXPECT_EQ(m.getByteProperty(u"b"), INT8_MIN);
    EXPECT_EQ(m.getShortProperty(u"s"), INT16_MAX);
    EXPECT_TRUE(std::isnan(m.getDoubleProperty(u"nan")));
    EXPECT_EQ(m.getStringProperty(u"long").size(), 65535u);
    EXPECT_EQ(m.getStringProperty(u"empty"), u"");
    EXPECT_JMS_THROW(m.setStringProperty(u"tooLong", WString(65536, u'x')), JMSException,
                     u"setStringProperty: length > 65535");
    EXPECT_FALSE(m.propertyExists(u"tooLong"));
}

TEST(TypedProperties, NamesInCodeUnitOrder) {
    jms::CltTextMessage m;
    for (const char16_t* name : {u"b", u"a", u"B", u"_z", u"$", u"a.b", u"a1"})
        m.setBooleanProperty(name, true);
    // Code-unit order: '$' < 'B' < '_' < 'a' < 'b', and a prefix sorts first.
    EXPECT_EQ(m.getPropertyNames(),
              (WStringList{u"$", u"B", u"_z", u"a", u"a.b", u"a1", u"b"}));
}

// A known JMS name is an ordinary property: the header field is untouched.
TEST(TypedProperties, KnownJmsNamesAreOrdinaryProperties) {
    jms::CltTextMessage m;
    m.setIntProperty(u"JMSPriority", 0);
    m.setStringProperty(u"JMSXGroupID", u"g");
    m.setLongProperty(u"JMS_Zorvane_Delay", 10);
    EXPECT_EQ(m.getJMSPriority(), 4);
    EXPECT_EQ(m.getIntProperty(u"JMSPriority"), 0);
    EXPECT_JMS_THROW(m.setIntProperty(u"JMSXFoo", 1), JMSException, u"JMSXFoois not a known property");
}

// The read-only check of a bytes message in read mode comes before any other.
TEST(TypedProperties, ReadOnlyComesFirst) {
    jms::CltBytesMessage m;
    m.setIntProperty(u"kept", 1);
    m.reset();
    for (const auto& col : columns()) {
        SCOPED_TRACE(col.type);
        EXPECT_JMS_THROW(col.set(m, u""), jms::MessageNotWriteableException,
                         u"message in read only mode");
        EXPECT_JMS_THROW(col.set(m, u"kept"), jms::MessageNotWriteableException,
                         u"message in read only mode");
    }
    EXPECT_EQ(m.getIntProperty(u"kept"), 1);
    m.clearProperties();
    EXPECT_FALSE(m.propertyExists(u"kept"));
}

}  // namespace
