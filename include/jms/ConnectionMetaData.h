#ifndef JMS_CONNECTIONMETADATA_H
#define JMS_CONNECTIONMETADATA_H

#include <jms/Types.h>

namespace jms {

/// What the provider reported about itself when the connection was made.
class JMS_API ConnectionMetaData {
public:
    ConnectionMetaData() = default;
    ConnectionMetaData(const ConnectionMetaData&) = default;
    ConnectionMetaData& operator=(const ConnectionMetaData&) = default;
    virtual ~ConnectionMetaData();

    /// "major.minor", for example "1.0".
    virtual WString getJMSVersion() = 0;
    virtual int32_t getJMSMajorVersion() = 0;
    virtual int32_t getJMSMinorVersion() = 0;
    virtual WString getJMSProviderName() = 0;
    /// "major.minor" of the provider.
    virtual WString getProviderVersion() = 0;
    virtual int32_t getProviderMajorVersion() = 0;
    virtual int32_t getProviderMinorVersion() = 0;
};

}  // namespace jms

#endif
