// Destinations: the driver rules, and queues and topics built from names,
// definition strings, parts and the wire.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "../message/JmsExpect.h"
#include "destination/DestinationDefinition.h"
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
namespace wire = jms::wire;

namespace {

const WString mqText = u"name=Q1,driver=MQ,queue=LQ,manager=QM";

TEST(DriverRules, TableInOrder) {
    const struct {
        const char16_t* driver;
        WStringList tags;
        bool isTopic;
        const char16_t* message;  // null: accepted
    } cases[] = {
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

// The class, name and wire form of a destination, as one text.
WString describe(QuorixDestination& d) {
    auto* topic = dynamic_cast<jms::Topic*>(&d);
    auto* queue = dynamic_cast<jms::Queue*>(&d);
    if (!topic == !queue) return u"both or neither";
    EXPECT_EQ(d.getIDLDestination().isTopic, topic != nullptr);
    const WString name = topic ? topic->getTopicName() : queue->getQueueName();
    EXPECT_EQ(topic ? topic->toString() : queue->toString(), name);
    WString text = (topic ? u"topic " : u"queue ") + name;
    if (!d.isDefined()) return text;
    const wire::DefinedDestination& def = d.getIDLDestination().defined.dest();
    const WStringList tags = jms::toWStringList(def.tags), values = jms::toWStringList(def.values);
    text += u" " + jms::toWString(def.driver_name.in());
    for (size_t i = 0; i < tags.size() && i < values.size(); ++i)
        text += u" " + tags[i] + u"=" + values[i];
    return text;
}

using Make = std::function<std::unique_ptr<QuorixDestination>()>;
template <class D, class... A>
Make make(A... args) {
    return [=] { return std::unique_ptr<QuorixDestination>(new D(args...)); };
}
Make def(const WString& text, bool topic = false) {
    if (topic) return make<QuorixTopic>(text, true);
    return make<QuorixQueue>(text, true);
}
Make fromWire(const WString& name, bool isTopic, const WString& driver = u"",
              const WStringList& tags = {}, const WStringList& values = {}) {
    return [=] {
        wire::DefinedDestination def;
        def.driver_name = jms::toCorbaWString(driver);
        def.tags = jms::toCorbaStrings(tags);
        def.values = jms::toCorbaStrings(values);
        return QuorixDestination::fromWire(driver.empty()
                                               ? jms::makeDestination(name, isTopic)
                                               : jms::makeDestination(name, isTopic, def));
    };
}

// Every way to build a queue or topic, and what it gives or the refusal. A
// plain name is never parsed; a "definition" without "name=" is a plain name,
// and so are parts without a driver; a defined name has no length limit. In a
// definition the items come in any order, empty ones are skipped, a later key
// wins and the value runs from the first "="; the queue pair always comes
// first. (The receive path's tests refuse bad destinations from the wire.)
TEST(QuorixDestination, BuiltFromNamesDefinitionsPartsAndTheWire) {
    using Q = QuorixQueue;
    using T = QuorixTopic;
    using L = WStringList;
    const WString none, mqDefined = u"queue Q1 MQ queue=LQ manager=QM";
    const L mq{u"queue", u"manager"}, lq{u"LQ", u"QM"};
    const struct {
        const char* what;
        Make build;
        WString built;
        const char16_t* refusal = nullptr;
    } cases[] = {
        {"plain", make<Q>(WString(u"Q1"), false), u"queue Q1"},
        {"plain, not parsed", make<Q>(WString(u"name=Q,driver=x"), false),
         u"queue name=Q,driver=x"},
        {"longest plain", make<T>(WString(65535, u't'), false), u"topic " + WString(65535, u't')},
        {"empty name", make<Q>(none, false), none, u"destination name is null"},
        {"name too long", make<T>(WString(65536, u't'), false), none,
         u"destination name length must be <= 65535"},
        {"definition without name=", def(u"Q1"), u"queue Q1"},
        {"blank before =", def(u"name = Q1"), u"queue name = Q1"},
        {"empty definition", def(u""), none, u"destination name is null"},
        {"mq definition", def(mqText), mqDefined},
        {"items in any order", def(u"manager=QM,queue=LQ,driver=mq,name=Q1"),
         u"queue Q1 mq queue=LQ manager=QM"},
        {"empty items", def(u",,name=T,,driver=vol,", true), u"topic T vol"},
        {"value from the first =", def(u"name=a=b,driver=vol"), u"queue a=b vol"},
        {"later key wins", def(u"name=first,driver=vol,name=second"), u"queue second vol"},
        {"empty value, no pair", def(u"name=Q,driver=vol,queue=LQ,queue="), u"queue Q vol"},
        {"mq topic", def(mqText, true), none, u"cannot define topic for mq driver"},
        {"name= anywhere", def(u"rename=1"), none, u"rename=1"},  // the whole text
        {"blank key", def(u"name=Q1, driver=vol"), none, u"name=Q1, driver=vol"},
        {"keys keep their case", def(u"name=Q1,Driver=vol"), none, u"name=Q1,Driver=vol"},
        {"item without =", def(u"name=Q1,driver"), none, u"name=Q1,driver"},
        {"empty key", def(u"name=Q1,=vol"), none, u"name=Q1,=vol"},
        {"no driver", def(u"name=Q1"), none, u"'name' and 'driver' must be defined"},
        {"empty name", def(u"driver=vol,name="), none, u"'name' and 'driver' must be defined"},
        {"empty driver", def(u"name=Q1,driver="), none, u"'name' and 'driver' must be defined"},
        {"parts", make<Q>(WString(u"Q"), WString(u"mq"), L{u"Manager", u"QUEUE"}, L{u"QM", u"LQ"}),
         u"queue Q mq Manager=QM QUEUE=LQ"},
        {"parts, no driver", make<T>(WString(u"T"), none, L{u"x"}, L{}), u"topic T"},
        {"parts, no driver, no name", make<T>(none, none, mq, lq), none,
         u"destination name is null"},
        {"parts, long name", make<Q>(WString(70000, u'n'), WString(u"MQ"), mq, lq),
         u"queue " + WString(70000, u'n') + u" MQ queue=LQ manager=QM"},
        {"parts, no tags", make<Q>(WString(u"Q"), WString(u"vol"), L{}, L{}), none, u"null arg"},
        {"parts, vol with tags", make<Q>(WString(u"Q"), WString(u"vol"), L{u"a"}, L{u"b"}), none,
         u"can only define \"driver\" and \"name\""},
        {"parts, mismatch", make<Q>(WString(u"Q"), WString(u"mq"), mq, L{u"a"}), none,
         u"length mismatch"},
        {"wire queue", fromWire(u"Q", false), u"queue Q"},
        {"wire topic", fromWire(u"T", true), u"topic T"},
        {"wire mq queue", fromWire(u"Q1", false, u"MQ", mq, lq), mqDefined},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.refusal) {
            EXPECT_JMS_THROW(c.build(), InvalidDestinationException, c.refusal);
        } else {
            EXPECT_EQ(describe(*c.build()), c.built);
        }
    }
}

TEST(QuorixDestination, CloneKeepsTheClassAndCopiesDeeply) {
    std::unique_ptr<QuorixDestination> copy;
    {
        QuorixQueue original(mqText, true);
        copy = original.clone();
        EXPECT_NE(&copy->getIDLDestination(), &original.getIDLDestination());
    }
    EXPECT_EQ(describe(*copy), u"queue Q1 MQ queue=LQ manager=QM");
    QuorixTopic topic(u"T", false);
    EXPECT_EQ(describe(*topic.clone()), u"topic T");
    jms::Destination* face = topic.clone().release();
    delete face;  // deletion through the interface frees the whole object
}

}  // namespace
