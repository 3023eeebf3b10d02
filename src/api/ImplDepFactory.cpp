#include <jms/ImplDepFactory.h>

#include <new>

#include "connection/CltIDLConnectionFactory.h"
#include "sys/wq.h"

namespace jms {

ImplDepFactory::ImplDepFactory(const WString& referenceFile, const WString& driverName, bool,
                               const WString& clientID, int32_t defaultPriority, int32_t timeout)
    : referenceFile_(referenceFile),
      driverName_(driverName),
      clientID_(clientID),
      defaultPriority_(defaultPriority),
      timeout_(timeout) {
    wqInit();
}

ImplDepFactory::ImplDepFactory(const WString& providerReference, const WString& driverName,
                               const WString& clientID, int32_t defaultPriority, int32_t timeout)
    : providerReference_(providerReference),
      driverName_(driverName),
      clientID_(clientID),
      defaultPriority_(defaultPriority),
      timeout_(timeout) {
    wqInit();
}

// Every destructor ends one use of the system layer, so every copy begins one.
ImplDepFactory::ImplDepFactory(const ImplDepFactory& other)
    : referenceFile_(other.referenceFile_),
      providerReference_(other.providerReference_),
      driverName_(other.driverName_),
      clientID_(other.clientID_),
      defaultPriority_(other.defaultPriority_),
      timeout_(other.timeout_) {
    wqInit();
}

ImplDepFactory& ImplDepFactory::operator=(const ImplDepFactory& other) {
    referenceFile_ = other.referenceFile_;
    providerReference_ = other.providerReference_;
    driverName_ = other.driverName_;
    clientID_ = other.clientID_;
    defaultPriority_ = other.defaultPriority_;
    timeout_ = other.timeout_;
    return *this;
}

ImplDepFactory::~ImplDepFactory() { wqTerm(); }

namespace {

CltIDLConnectionFactory* newFactory(const WString& referenceFile,
                                    const WString& providerReference,
                                    const WString& driverName, const WString& clientID,
                                    int32_t defaultPriority, int32_t timeout) {
    if (!referenceFile.empty()) {
        return new (std::nothrow) CltIDLConnectionFactory(referenceFile, driverName, true, clientID,
                                                          defaultPriority, timeout);
    }
    return new (std::nothrow) CltIDLConnectionFactory(providerReference, driverName, clientID,
                                                      defaultPriority, timeout);
}

}  // namespace

QueueConnectionFactory* ImplDepFactory::createQueueConnectionFactory() {
    return newFactory(referenceFile_, providerReference_, driverName_, clientID_, defaultPriority_,
                      timeout_);
}

TopicConnectionFactory* ImplDepFactory::createTopicConnectionFactory() {
    return newFactory(referenceFile_, providerReference_, driverName_, clientID_, defaultPriority_,
                      timeout_);
}

}  // namespace jms
