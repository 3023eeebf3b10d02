#include <gtest/gtest.h>

#include "../message/JmsExpect.h"
#include "destination/DestinationDefinition.h"

using jms::InvalidDestinationException;
using jms::WString;
using jms::WStringList;

namespace {

TEST(DefinitionString, RecognisedByNameKeyAnywhere) {
    EXPECT_TRUE(jms::looksLikeDefinitionString(u"name=Q1"));
    EXPECT_TRUE(jms::looksLikeDefinitionString(u"rename=1"));
    EXPECT_FALSE(jms::looksLikeDefinitionString(u"Q1"));
    EXPECT_FALSE(jms::looksLikeDefinitionString(u"name = Q1"));
}

TEST(DefinitionString, ParsesItemsIntoOrderedPairs) {
    auto def = jms::parseDefinitionString(u"name=Q1,driver=MQ,queue=LQ,manager=QM");
    EXPECT_EQ(def.name, u"Q1");
    EXPECT_EQ(def.driver, u"MQ");
    EXPECT_EQ(def.tags, (WStringList{u"queue", u"manager"}));
    EXPECT_EQ(def.values, (WStringList{u"LQ", u"QM"}));

    // Order of items does not matter for the pairs; the queue pair always comes first.
    def = jms::parseDefinitionString(u"manager=QM,queue=LQ,driver=mq,name=Q1");
    EXPECT_EQ(def.tags, (WStringList{u"queue", u"manager"}));
    EXPECT_EQ(def.values, (WStringList{u"LQ", u"QM"}));
}

TEST(DefinitionString, ValueRulesAndSkippedItems) {
    auto def = jms::parseDefinitionString(u",,name=Q1,,driver=vol,");
    EXPECT_EQ(def.name, u"Q1");
    EXPECT_EQ(def.driver, u"vol");
    EXPECT_TRUE(def.tags.empty());

    def = jms::parseDefinitionString(u"name=a=b,driver=vol");  // split at the first "="
    EXPECT_EQ(def.name, u"a=b");

    def = jms::parseDefinitionString(u"name=first,driver=vol,name=second");
    EXPECT_EQ(def.name, u"second");

    // An empty value is stored and so removes the pair.
    def = jms::parseDefinitionString(u"name=Q,driver=mq,queue=LQ,queue=");
    EXPECT_TRUE(def.tags.empty());
}

struct BadDefinition {
    const char16_t* text;
    const char16_t* message;  // null: the whole text is the message
};

TEST(DefinitionString, RefusedDefinitions) {
    const BadDefinition cases[] = {
        {u"name=Q1, driver=vol", nullptr},     // key with a leading blank
        {u"rename=1", nullptr},                // unknown key
        {u"name=Q1,Driver=vol", nullptr},      // keys are case-sensitive
        {u"name=Q1,driver", nullptr},          // item without "="
        {u"name=Q1,=vol", nullptr},            // item starting with "="
        {u"name=Q1", u"'name' and 'driver' must be defined"},
        {u"driver=vol,name=", u"'name' and 'driver' must be defined"},
        {u"name=Q1,driver=", u"'name' and 'driver' must be defined"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(qjmstest::narrow(c.text));
        EXPECT_JMS_THROW(jms::parseDefinitionString(c.text), InvalidDestinationException,
                         c.message ? c.message : c.text);
    }
}

struct DriverCase {
    const char16_t* driver;
    WStringList tags;
    bool isTopic;
    const char16_t* message;  // null: accepted
};

TEST(DriverRules, TableInOrder) {
    const DriverCase cases[] = {
        {u"mq", {u"queue", u"manager"}, false, nullptr},
        {u"MQ", {u"Manager", u"QUEUE"}, false, nullptr},
        {u"Mq", {u"queue", u"manager"}, true, u"cannot define topic for mq driver"},
        {u"mq", {}, true, u"cannot define topic for mq driver"},
        {u"mq", {u"queue"}, false, u"must define 'manager' and 'queue'"},
        {u"mq", {u"queue", u"manager", u"x"}, false, u"must define 'manager' and 'queue'"},
        {u"mq", {u"queue", u"queue"}, false, u"must define \"manager\""},
        {u"mq", {u"manager", u"x"}, false, u"must define \"queue\""},
        {u"yx", {}, false, u"not supported for yx"},
        {u"YX", {u"a"}, true, u"not supported for yx"},
        {u"vol", {}, false, nullptr},
        {u"VOL", {}, true, nullptr},
        {u"vol", {u"queue"}, false, u"can only define \"driver\" and \"name\""},
        {u"rv", {}, false, u"not supported for rv"},
        {u"mCast", {}, true, u"not supported for mcast"},
        {u"jdbc", {}, false, u"\"driver\" definition not supported ->jdbc<-"},
        {u"mq ", {}, false, u"\"driver\" definition not supported ->mq <-"},
        // Folding is ASCII only: a long s does not turn "mcaſt" into "MCAST".
        {u"mca\u017Ft", {}, false, u"\"driver\" definition not supported ->mca\u017Ft<-"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(qjmstest::narrow(c.driver));
        if (c.message) {
            EXPECT_JMS_THROW(jms::checkDriverRules(c.driver, c.tags, c.isTopic),
                             InvalidDestinationException, c.message);
        } else {
            EXPECT_NO_THROW(jms::checkDriverRules(c.driver, c.tags, c.isTopic));
        }
    }
}

}  // namespace
