#ifndef JMS_TOPIC_H
#define JMS_TOPIC_H

#include <jms/Destination.h>
#include <jms/Types.h>

namespace jms {

/// A publish/subscribe destination.
class JMS_API Topic : public virtual Destination {
public:
    Topic() = default;
    Topic(const Topic&) = default;
    Topic& operator=(const Topic&) = default;
    ~Topic() override;

    virtual WString getTopicName() = 0;
    /// The topic name.
    virtual WString toString() = 0;
};

}  // namespace jms

#endif
