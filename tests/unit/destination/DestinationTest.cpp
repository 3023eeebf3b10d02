// Destinations: the driver rules, and queues and topics built from names,
// definition strings, parts and the wire.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "../message/JmsExpect.h"
#include "Describe.h"
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
using qjmstest::describe;
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
        {u"MQ", {u"Manager", u"QUEUE"}, false, nullptr},
        {u"Mq", {}, true, u"cannot define topic for mq driver"},  // before the tags
        {u"mq", {u"queue"}, false, u"must define 'manager' and 'queue'"},
        {u"mq", {u"queue", u"manager", u"x"}, false, u"must define 'manager' and 'queue'"},
        {u"mq", {u"queue", u"queue"}, false, u"must define \"manager\""},
        {u"mq", {u"manager", u"x"}, false, u"must define \"queue\""},
        {u"YX", {u"a"}, true, u"not supported for yx"},
        {u"VOL", {}, true, nullptr},
        {u"vol", {u"queue"}, false, u"can only define \"driver\" and \"name\""},
        {u"rv", {}, false, u"not supported for rv"},
        {u"mCast", {}, true, u"not supported for mcast"},
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
// first. A destination from the wire gets the same checks as one built here.
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
        {"mq definition", def(mqText), mqDefined},
        {"items in any order", def(u"manager=QM,queue=LQ,driver=mq,name=Q1"),
         u"queue Q1 mq queue=LQ manager=QM"},
        {"empty items, later key wins, value from the first =",
         def(u",,name=first,,driver=vol,name=a=b,", true), u"topic a=b vol"},
        {"empty value, no pair", def(u"name=Q,driver=vol,queue=LQ,queue="), u"queue Q vol"},
        {"mq topic", def(mqText, true), none, u"cannot define topic for mq driver"},
        {"name= anywhere", def(u"rename=1"), none, u"rename=1"},  // the whole text
        {"keys keep their case", def(u"name=Q1,Driver=vol"), none, u"name=Q1,Driver=vol"},
        {"item without =", def(u"name=Q1,driver"), none, u"name=Q1,driver"},
        {"empty key", def(u"name=Q1,=vol"), none, u"name=Q1,=vol"},
        {"no driver", def(u"name=Q1"), none, u"'name' and 'driver' must be defined"},
        {"empty name", def(u"driver=vol,name="), none, u"'name' and 'driver' must be defined"},
        {"parts", make<Q>(WString(u"Q"), WString(u"mq"), L{u"Manager", u"QUEUE"}, L{u"QM", u"LQ"}),
         u"queue Q mq Manager=QM QUEUE=LQ"},
        {"parts, no driver", make<T>(WString(u"T"), none, L{u"x"}, L{}), u"topic T"},
        {"parts, no driver, no name", make<T>(none, none, mq, lq), none,
         u"destination name is null"},
        {"parts, long name", make<Q>(WString(70000, u'n'), WString(u"MQ"), mq, lq),
         u"queue " + WString(70000, u'n') + u" MQ queue=LQ manager=QM"},
        {"parts, no tags", make<Q>(WString(u"Q"), WString(u"vol"), L{}, L{}), none, u"null arg"},
        {"parts, mismatch", make<Q>(WString(u"Q"), WString(u"mq"), mq, L{u"a"}), none,
         u"length mismatch"},
        {"wire queue", fromWire(u"Q", false), u"queue Q"},
        {"wire topic", fromWire(u"T", true), u"topic T"},
        {"wire mq queue", fromWire(u"Q1", false, u"MQ", mq, lq), mqDefined},
        {"wire mq topic", fromWire(u"T", true, u"mq", mq, lq), none,
         u"cannot define topic for mq driver"},
        {"wire, no tags", fromWire(u"Q", false, u"vol"), none, u"null arg"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.refusal) {
            EXPECT_JMS_THROW(c.build(), InvalidDestinationException, c.refusal);
        } else {
            EXPECT_EQ(describe(c.build()), c.built);
            // A clone keeps the class and outlives its original.
            EXPECT_EQ(describe(c.build()->clone()), c.built);
        }
    }
}

}  // namespace
