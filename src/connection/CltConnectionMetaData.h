#ifndef QJMS_CONNECTION_CLTCONNECTIONMETADATA_H
#define QJMS_CONNECTION_CLTCONNECTIONMETADATA_H

#include <cstdint>

#include <jms/ConnectionMetaData.h>

#include "sys/Cbase.h"

#include <jmsCommon.hh>

namespace jms {

/// What the provider said about itself when the connection was made.
/// Filled once while the connection is established, read-only afterwards.
class CltConnectionMetaData : public ConnectionMetaData, public Cbase {
public:
    CltConnectionMetaData();
    /// A copy gets its own synchronisation objects (they are never shared).
    CltConnectionMetaData(const CltConnectionMetaData& other);
    CltConnectionMetaData& operator=(const CltConnectionMetaData&) = delete;
    ~CltConnectionMetaData() override;

    WString getJMSVersion() override;
    int32_t getJMSMajorVersion() override;
    int32_t getJMSMinorVersion() override;
    WString getJMSProviderName() override;
    WString getProviderVersion() override;
    int32_t getProviderMajorVersion() override;
    int32_t getProviderMinorVersion() override;

    virtual bool supportsPersistent();
    virtual bool supportsNonPersistent();
    virtual bool supportsTxSessions();
    virtual const WString& getDriverName();

    /// Copies every member of the provider's answer.
    void fill(const zorvane::velt::quorix::corba::jmsCommon::ConnectionMetaData& wire);

private:
    int32_t jmsMajorVersion_ = 0;
    int32_t jmsMinorVersion_ = 0;
    WString jmsProviderName_;
    int32_t providerMajorVersion_ = 0;
    int32_t providerMinorVersion_ = 0;
    bool supportsPersistent_ = false;
    bool supportsNonPersistent_ = false;
    bool supportsTxSessions_ = false;
    WString driverName_;
};

}  // namespace jms

#endif
