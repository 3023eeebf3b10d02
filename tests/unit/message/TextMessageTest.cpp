#include <gtest/gtest.h>

#include "message/CltTextMessage.h"

using jms::CltTextMessage;

namespace {

TEST(TextMessageBody, ConstructionAndClearBody) {
    EXPECT_EQ(CltTextMessage().getText(), u"");
    EXPECT_EQ(CltTextMessage(jms::WString(u"abc")).getText(), u"abc");
    EXPECT_EQ(CltTextMessage(u"zero-terminated").getText(), u"zero-terminated");
    EXPECT_EQ(CltTextMessage(static_cast<const char16_t*>(nullptr)).getText(), u"");

    CltTextMessage m(jms::WString(u"body"));
    m.setIntProperty(u"p", 1);
    m.setJMSType(u"t");
    m.clearBody();
    EXPECT_EQ(m.getText(), u"");
    EXPECT_EQ(m.getIntProperty(u"p"), 1);
    EXPECT_EQ(m.getJMSType(), u"t");
    m.setText(u"again");
    EXPECT_EQ(m.getText(), u"again");
    m.setText(u"");
    EXPECT_EQ(m.getText(), u"");
}

}  // namespace
