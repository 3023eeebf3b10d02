#ifndef JMS_IMPLDEPFACTORY_H
#define JMS_IMPLDEPFACTORY_H

#include <jms/Types.h>

namespace jms {

class QueueConnectionFactory;
class TopicConnectionFactory;

/// The library's entry point: says where the provider is and which defaults
/// the connections it leads to use. A plain value; while any copy lives the
/// library's system layer stays initialised.
class JMS_API ImplDepFactory {
public:
    /// The provider's stringified reference is the first word of the text
    /// file `referenceFile`. `flag` is accepted and has no effect.
    /// `defaultPriority` (0..9) and `timeout` (0 or more) go to every session;
    /// an empty `clientID` means none.
    ImplDepFactory(const WString& referenceFile, const WString& driverName, bool flag,
                   const WString& clientID, int32_t defaultPriority, int32_t timeout);
    /// The provider's stringified reference is `providerReference` itself.
    ImplDepFactory(const WString& providerReference, const WString& driverName,
                   const WString& clientID, int32_t defaultPriority, int32_t timeout);
    /// Copies all six fields.
    ImplDepFactory(const ImplDepFactory& other);
    /// Copies all six fields.
    ImplDepFactory& operator=(const ImplDepFactory& other);
    ~ImplDepFactory();

    /// A new factory bound to the provider; caller owns, null if it cannot
    /// be allocated. Throws when the reference cannot be read or resolved.
    QueueConnectionFactory* createQueueConnectionFactory();
    /// As createQueueConnectionFactory, for topics.
    TopicConnectionFactory* createTopicConnectionFactory();

private:
    WString referenceFile_;
    WString providerReference_;
    WString driverName_;
    WString clientID_;
    int32_t defaultPriority_;
    int32_t timeout_;
};

}  // namespace jms

#endif
