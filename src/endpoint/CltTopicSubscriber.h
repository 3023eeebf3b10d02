#ifndef QJMS_ENDPOINT_CLTTOPICSUBSCRIBER_H
#define QJMS_ENDPOINT_CLTTOPICSUBSCRIBER_H

#include <jms/Topic.h>
#include <jms/TopicSubscriber.h>

#include "endpoint/CltMessageConsumer.h"

namespace jms {

/// The topic face of a consumer; durable when built with a subscription name.
class CltTopicSubscriber : public CltMessageConsumer, public TopicSubscriber {
public:
    using CltMessageConsumer::CltMessageConsumer;
    ~CltTopicSubscriber() override;

    /// A new copy of the subscriber's topic; caller owns.
    Topic* getTopic() override;
    /// Always false: the library does not offer no-local subscribers.
    bool getNoLocal() override;
    /// Throws NotImplementedException.
    virtual void setNoLocal(bool noLocal);
};

}  // namespace jms

#endif
