#ifndef QJMS_TESTS_DESCRIBE_H
#define QJMS_TESTS_DESCRIBE_H

#include <memory>

#include <gtest/gtest.h>
#include <jms/Queue.h>
#include <jms/Topic.h>

#include "destination/QuorixDestination.h"
#include "idl/WireText.h"
#include "idl/WireValues.h"

namespace qjmstest {

/// The class, name and wire form of a destination as one text ("none" for
/// null). Takes ownership.
inline jms::WString describe(std::unique_ptr<jms::Destination> owned) {
    if (!owned) return u"none";
    auto* d = dynamic_cast<jms::QuorixDestination*>(owned.get());
    auto* topic = dynamic_cast<jms::Topic*>(d);
    auto* queue = dynamic_cast<jms::Queue*>(d);
    if (!topic == !queue) return u"not one of ours, or both kinds";
    EXPECT_EQ(d->getIDLDestination().isTopic, topic != nullptr);
    const jms::WString name = topic ? topic->getTopicName() : queue->getQueueName();
    EXPECT_EQ(topic ? topic->toString() : queue->toString(), name);
    jms::WString text = (topic ? u"topic " : u"queue ") + name;
    if (!d->isDefined()) return text;
    const jms::wire::DefinedDestination& def = d->getIDLDestination().defined.dest();
    const jms::WStringList tags = jms::toWStringList(def.tags);
    const jms::WStringList values = jms::toWStringList(def.values);
    text += u" " + jms::toWString(def.driver_name.in());
    for (size_t i = 0; i < tags.size() && i < values.size(); ++i)
        text += u" " + tags[i] + u"=" + values[i];
    return text;
}
inline jms::WString describe(jms::Destination* owned) {
    return describe(std::unique_ptr<jms::Destination>(owned));
}

}  // namespace qjmstest

#endif
