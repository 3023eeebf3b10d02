#ifndef QJMS_TESTS_PROPERTYCOLUMNS_H
#define QJMS_TESTS_PROPERTYCOLUMNS_H

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>

#include <jms/Message.h>

namespace qjmstest {

// One column per property type: how to set a value at the edge of its range,
// how to read it back as that type (a mismatch throws), and its wire branch.
struct PropertyColumn {
    const char* type;
    int32_t wireBranch;
    std::function<void(jms::Message&, const jms::WString&)> set;
    std::function<void(jms::Message&, const jms::WString&)> get;
};

using jms::Message;
using jms::WString;

inline const PropertyColumn propertyColumns[] = {
    {"boolean", 5, [](Message& m, const WString& n) { m.setBooleanProperty(n, true); },
     [](Message& m, const WString& n) { EXPECT_TRUE(m.getBooleanProperty(n)); }},
    {"byte", 1, [](Message& m, const WString& n) { m.setByteProperty(n, INT8_MIN); },
     [](Message& m, const WString& n) { EXPECT_EQ(m.getByteProperty(n), INT8_MIN); }},
    {"short", 2, [](Message& m, const WString& n) { m.setShortProperty(n, INT16_MIN); },
     [](Message& m, const WString& n) { EXPECT_EQ(m.getShortProperty(n), INT16_MIN); }},
    {"int", 3, [](Message& m, const WString& n) { m.setIntProperty(n, INT32_MIN); },
     [](Message& m, const WString& n) { EXPECT_EQ(m.getIntProperty(n), INT32_MIN); }},
    {"long", 4, [](Message& m, const WString& n) { m.setLongProperty(n, INT64_MAX); },
     [](Message& m, const WString& n) { EXPECT_EQ(m.getLongProperty(n), INT64_MAX); }},
    {"float", 6, [](Message& m, const WString& n) { m.setFloatProperty(n, -1.5f); },
     [](Message& m, const WString& n) { EXPECT_EQ(m.getFloatProperty(n), -1.5f); }},
    {"double", 7, [](Message& m, const WString& n) { m.setDoubleProperty(n, 1e300); },
     [](Message& m, const WString& n) { EXPECT_EQ(m.getDoubleProperty(n), 1e300); }},
    {"string", 8, [](Message& m, const WString& n) { m.setStringProperty(n, u"\xd83d\xde00 t"); },
     [](Message& m, const WString& n) { EXPECT_EQ(m.getStringProperty(n), u"\xd83d\xde00 t"); }},
};

}  // namespace qjmstest

#endif
