#include <gtest/gtest.h>

#include <limits>

#include "JmsExpect.h"
#include "message/HeaderRules.h"

using jms::JMSException;
using jms::MessageFormatException;
using jms::WString;

namespace {

TEST(HeaderSetterRules, MessageId) {
    const WString text = u"the message id must start with 'ID:'.";
    EXPECT_NO_THROW(jms::checkMessageIdValue(u"ID:1"));
    for (const WString bad : {u"ID:", u"id:1", u"", u"I", u"XID:1", u" ID:1"})
        EXPECT_JMS_THROW(jms::checkMessageIdValue(bad), JMSException, text);
}

TEST(HeaderSetterRules, NumericLimits) {
    EXPECT_NO_THROW(jms::checkTimestampValue(0));
    EXPECT_JMS_THROW(jms::checkTimestampValue(-1), JMSException, u"timestamp");
    EXPECT_NO_THROW(jms::checkExpirationValue(0));
    EXPECT_JMS_THROW(jms::checkExpirationValue(-1), JMSException, u"expiration must be >=0");
    EXPECT_JMS_THROW(jms::checkExpirationValue(std::numeric_limits<int64_t>::min()), JMSException,
                     u"expiration must be >=0");
    for (int p : {0, 4, 9}) EXPECT_NO_THROW(jms::checkPriorityValue(p));
    for (int p : {-1, 10, std::numeric_limits<int32_t>::min()})
        EXPECT_JMS_THROW(jms::checkPriorityValue(p), JMSException, u"priority");
    for (int m : {1, 2}) EXPECT_NO_THROW(jms::checkDeliveryModeValue(m));
    for (int m : {-1, 0, 3})
        EXPECT_JMS_THROW(jms::checkDeliveryModeValue(m), JMSException, u"delivery mode");
}

TEST(HeaderSetterRules, TextAndByteLengths) {
    EXPECT_NO_THROW(jms::checkCorrelationIdValue(WString(65535, u'c')));
    EXPECT_JMS_THROW(jms::checkCorrelationIdValue(WString(65536, u'c')), JMSException,
                     u"CorrelationID length must be <= 65535");
    EXPECT_NO_THROW(jms::checkTypeValue(WString(65535, u't')));
    EXPECT_JMS_THROW(jms::checkTypeValue(WString(65536, u't')), JMSException,
                     u"setJMSType: length must be <= 65535");
    EXPECT_NO_THROW(jms::checkCorrelationIdBytesSize(32767));
    EXPECT_JMS_THROW(jms::checkCorrelationIdBytesSize(32768), JMSException,
                     u"CorrelationIDAsBytes: size > 32766");
}

struct ReceivedCase {
    const char* what;
    jms::ReceivedHeaderFields fields;
    const char16_t* message;  // null: accepted
};

jms::ReceivedHeaderFields fields(int64_t exp, int32_t prio, int32_t mode, int64_t ts,
                                 bool hasId = false, WString id = {}) {
    return {exp, prio, mode, hasId, std::move(id), ts};
}

TEST(ReceivedHeaderRules, TableInCheckOrder) {
    const ReceivedCase cases[] = {
        {"defaults", fields(0, 4, 2, 0), nullptr},
        {"minus one means unset", fields(-1, -1, -1, 0), nullptr},
        {"limits", fields(INT64_MAX, 9, 1, INT64_MAX, true, u"ID:"), nullptr},
        {"expiration -2", fields(-2, 4, 2, 0), u"JMSExpiration < 0"},
        {"expiration first", fields(INT64_MIN, 12, 0, -5), u"JMSExpiration < 0"},
        {"priority -2", fields(0, -2, 2, 0), u"JMSPriority < 0"},
        {"priority 10", fields(0, 10, 2, 0), u"JMSPriority > 9"},
        {"priority 12 before mode", fields(0, 12, 7, 0), u"JMSPriority > 9"},
        {"mode 0", fields(0, 4, 0, 0), u"JMSDeliveryMode is invalid"},
        {"mode 3", fields(0, 4, 3, 0), u"JMSDeliveryMode is invalid"},
        {"mode -2", fields(0, 4, -2, 0), u"JMSDeliveryMode is invalid"},
        {"id lower", fields(0, 4, 2, 0, true, u"id:1"), u"JMSMessageID invalid: "},
        {"id short", fields(0, 4, 2, 0, true, u"ID"), u"JMSMessageID invalid: "},
        {"id empty", fields(0, 4, 2, 0, true, u""), u"JMSMessageID invalid: "},
        {"id before ts", fields(0, 4, 2, -1, true, u"x"), u"JMSMessageID invalid: "},
        {"timestamp -1", fields(0, 4, 2, -1), u"JMSTimestamp < 0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.message) {
            EXPECT_JMS_THROW(jms::validateReceivedHeader(c.fields), MessageFormatException,
                             c.message);
        } else {
            EXPECT_NO_THROW(jms::validateReceivedHeader(c.fields));
        }
    }
}

}  // namespace
