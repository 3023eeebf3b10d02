#ifndef JMS_TEMPORARYTOPIC_H
#define JMS_TEMPORARYTOPIC_H

#include <jms/Topic.h>

namespace jms {

/// A topic that lives as long as its connection. The library creates none;
/// callers and other providers may implement it.
class JMS_API TemporaryTopic : public virtual Topic, public virtual Destination {
public:
    TemporaryTopic() = default;
    TemporaryTopic(const TemporaryTopic&) = default;
    TemporaryTopic& operator=(const TemporaryTopic&) = default;
    ~TemporaryTopic() override;

    /// Deletes the topic at the provider (the JMS `delete`, a C++ keyword).
    /// The object itself stays alive; its owner deletes it.
    virtual void destroy() = 0;
};

}  // namespace jms

#endif
