#include <gtest/gtest.h>

#include <memory>

#include "../message/JmsExpect.h"
#include "destination/QuorixQueue.h"
#include "destination/QuorixTopic.h"
#include "idl/WireText.h"
#include "idl/WireValues.h"

using jms::InvalidDestinationException;
using jms::QuorixDestination;
using jms::QuorixQueue;
using jms::QuorixTopic;
using jms::WString;
using jms::WStringList;

namespace {

WStringList tagsOf(const QuorixDestination& d) {
    return jms::toWStringList(d.getIDLDestination().defined.dest().tags);
}
WStringList valuesOf(const QuorixDestination& d) {
    return jms::toWStringList(d.getIDLDestination().defined.dest().values);
}
WString driverOf(const QuorixDestination& d) {
    return jms::toWString(d.getIDLDestination().defined.dest().driver_name.in());
}

TEST(PlainDestination, NameLimitsAndWireForm) {
    QuorixQueue queue(u"Q1", false);
    EXPECT_EQ(queue.getQueueName(), u"Q1");
    EXPECT_EQ(queue.toString(), u"Q1");
    EXPECT_FALSE(queue.isDefined());
    EXPECT_FALSE(queue.getIDLDestination().isTopic);

    QuorixTopic topic(WString(65535, u't'), false);
    EXPECT_EQ(topic.getTopicName().size(), 65535u);
    EXPECT_EQ(topic.toString(), topic.getTopicName());
    EXPECT_TRUE(topic.getIDLDestination().isTopic);

    EXPECT_JMS_THROW(QuorixQueue(u"", false), InvalidDestinationException,
                     u"destination name is null");
    EXPECT_JMS_THROW(QuorixTopic(WString(65536, u't'), false), InvalidDestinationException,
                     u"destination name length must be <= 65535");
    // A plain name is never parsed, whatever it holds.
    EXPECT_FALSE(QuorixQueue(u"name=Q1,driver=bogus", false).isDefined());
}

TEST(DefinedDestination, DefinitionStringToWireForm) {
    QuorixQueue queue(u"name=Q1,driver=MQ,queue=LQ,manager=QM", true);
    EXPECT_TRUE(queue.isDefined());
    EXPECT_EQ(queue.getQueueName(), u"Q1");
    EXPECT_EQ(driverOf(queue), u"MQ");
    EXPECT_EQ(tagsOf(queue), (WStringList{u"queue", u"manager"}));
    EXPECT_EQ(valuesOf(queue), (WStringList{u"LQ", u"QM"}));

    QuorixTopic vol(u"name=T,,driver=vol,", true);
    EXPECT_TRUE(vol.isDefined());
    EXPECT_TRUE(tagsOf(vol).empty());
}

TEST(DefinedDestination, DefinitionStringRefusals) {
    EXPECT_JMS_THROW(QuorixTopic(u"name=Q1,driver=MQ,queue=LQ,manager=QM", true),
                     InvalidDestinationException, u"cannot define topic for mq driver");
    EXPECT_JMS_THROW(QuorixQueue(u"rename=1", true), InvalidDestinationException, u"rename=1");
}

// A definition string without "name=" is a plain name, with the plain-name checks.
TEST(DefinedDestination, StringWithoutNameKeyIsAPlainName) {
    QuorixQueue queue(u"Q1", true);
    EXPECT_FALSE(queue.isDefined());
    EXPECT_EQ(queue.getQueueName(), u"Q1");
    EXPECT_JMS_THROW(QuorixQueue(u"", true), InvalidDestinationException,
                     u"destination name is null");
    EXPECT_JMS_THROW(QuorixTopic(WString(65536, u'x'), true), InvalidDestinationException,
                     u"destination name length must be <= 65535");
}

TEST(DefinedDestination, FromParts) {
    QuorixQueue mq(u"Q", u"mq", {u"Manager", u"QUEUE"}, {u"QM", u"LQ"});
    EXPECT_TRUE(mq.isDefined());
    EXPECT_EQ(tagsOf(mq), (WStringList{u"Manager", u"QUEUE"}));
    EXPECT_EQ(valuesOf(mq), (WStringList{u"QM", u"LQ"}));

    // No driver: a plain name; the tags and values are ignored.
    QuorixTopic plain(u"T", u"", {u"x"}, {});
    EXPECT_FALSE(plain.isDefined());
    EXPECT_JMS_THROW(QuorixTopic(u"", u"", {}, {}), InvalidDestinationException,
                     u"destination name is null");

    // No length limit on a defined name.
    EXPECT_NO_THROW(QuorixQueue(WString(70000, u'n'), u"MQ", {u"queue", u"manager"}, {u"a", u"b"}));

    EXPECT_JMS_THROW(QuorixQueue(u"Q", u"vol", {}, {}), InvalidDestinationException, u"null arg");
    EXPECT_JMS_THROW(QuorixQueue(u"Q", u"vol", {u"a"}, {u"b"}), InvalidDestinationException,
                     u"can only define \"driver\" and \"name\"");
    EXPECT_JMS_THROW(QuorixQueue(u"Q", u"mq", {u"queue", u"manager"}, {u"a"}),
                     InvalidDestinationException, u"length mismatch");
    EXPECT_JMS_THROW(QuorixTopic(u"T", u"rv", {u"a"}, {u"b"}), InvalidDestinationException,
                     u"not supported for rv");
}

TEST(DestinationCopy, CloneKeepsClassAndDeepCopiesWireForm) {
    std::unique_ptr<QuorixDestination> copy;
    {
        QuorixQueue original(u"name=Q1,driver=MQ,queue=LQ,manager=QM", true);
        copy = original.clone();
        EXPECT_NE(&copy->getIDLDestination(), &original.getIDLDestination());
    }
    auto* queue = dynamic_cast<jms::Queue*>(copy.get());
    ASSERT_NE(queue, nullptr);
    EXPECT_EQ(queue->getQueueName(), u"Q1");
    EXPECT_EQ(valuesOf(*copy), (WStringList{u"LQ", u"QM"}));

    QuorixTopic topic(u"T", false);
    auto topicCopy = topic.clone();
    EXPECT_NE(dynamic_cast<jms::Topic*>(topicCopy.get()), nullptr);
    EXPECT_EQ(dynamic_cast<jms::Queue*>(topicCopy.get()), nullptr);

    // Deletion through the interface face frees the whole object.
    jms::Destination* face = topic.clone().release();
    delete face;
}

TEST(DestinationFromWire, BuildsQueueOrTopicWithTheSameChecks) {
    auto queue = QuorixDestination::fromWire(jms::makeDestination(u"Q", false));
    EXPECT_NE(dynamic_cast<jms::Queue*>(queue.get()), nullptr);
    EXPECT_FALSE(queue->isDefined());

    jms::wire::DefinedDestination def;
    def.driver_name = jms::toCorbaWString(u"mq");
    def.tags = jms::toCorbaStrings({u"queue", u"manager"});
    def.values = jms::toCorbaStrings({u"LQ", u"QM"});
    auto defined = QuorixDestination::fromWire(jms::makeDestination(u"Q", false, def));
    EXPECT_TRUE(defined->isDefined());
    EXPECT_EQ(valuesOf(*defined), (WStringList{u"LQ", u"QM"}));

    EXPECT_JMS_THROW(QuorixDestination::fromWire(jms::makeDestination(u"T", true, def)),
                     InvalidDestinationException, u"cannot define topic for mq driver");
    def.values = jms::toCorbaStrings({u"LQ"});
    EXPECT_JMS_THROW(QuorixDestination::fromWire(jms::makeDestination(u"Q", false, def)),
                     InvalidDestinationException, u"length mismatch");
    EXPECT_JMS_THROW(QuorixDestination::fromWire(jms::makeDestination(u"", true)),
                     InvalidDestinationException, u"destination name is null");
}

}  // namespace
