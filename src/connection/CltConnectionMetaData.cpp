#include "connection/CltConnectionMetaData.h"

#include <cstdio>

#include "idl/WireText.h"

namespace jms {

namespace {

// Versions read "major.minor" with no padding; the digits are ASCII, so
// widening byte by byte is exact.
WString versionText(int32_t major, int32_t minor) {
    char buf[32];
    int n = std::snprintf(buf, sizeof buf, "%ld.%ld", static_cast<long>(major),
                          static_cast<long>(minor));
    return WString(buf, buf + n);
}

}  // namespace

CltConnectionMetaData::CltConnectionMetaData() = default;

CltConnectionMetaData::CltConnectionMetaData(const CltConnectionMetaData& other)
    : ConnectionMetaData(other),
      Cbase(),
      jmsMajorVersion_(other.jmsMajorVersion_),
      jmsMinorVersion_(other.jmsMinorVersion_),
      jmsProviderName_(other.jmsProviderName_),
      providerMajorVersion_(other.providerMajorVersion_),
      providerMinorVersion_(other.providerMinorVersion_),
      supportsPersistent_(other.supportsPersistent_),
      supportsNonPersistent_(other.supportsNonPersistent_),
      supportsTxSessions_(other.supportsTxSessions_),
      driverName_(other.driverName_) {}

CltConnectionMetaData::~CltConnectionMetaData() = default;

WString CltConnectionMetaData::getJMSVersion() {
    return versionText(jmsMajorVersion_, jmsMinorVersion_);
}
int32_t CltConnectionMetaData::getJMSMajorVersion() { return jmsMajorVersion_; }
int32_t CltConnectionMetaData::getJMSMinorVersion() { return jmsMinorVersion_; }
WString CltConnectionMetaData::getJMSProviderName() { return jmsProviderName_; }
WString CltConnectionMetaData::getProviderVersion() {
    return versionText(providerMajorVersion_, providerMinorVersion_);
}
int32_t CltConnectionMetaData::getProviderMajorVersion() { return providerMajorVersion_; }
int32_t CltConnectionMetaData::getProviderMinorVersion() { return providerMinorVersion_; }
bool CltConnectionMetaData::supportsPersistent() { return supportsPersistent_; }
bool CltConnectionMetaData::supportsNonPersistent() { return supportsNonPersistent_; }
bool CltConnectionMetaData::supportsTxSessions() { return supportsTxSessions_; }
const WString& CltConnectionMetaData::getDriverName() { return driverName_; }

void CltConnectionMetaData::fill(
    const zorvane::velt::quorix::corba::jmsCommon::ConnectionMetaData& wire) {
    jmsMajorVersion_ = wire.JMSMajorVersion;
    jmsMinorVersion_ = wire.JMSMinorVersion;
    jmsProviderName_ = toWString(wire.JMSProviderName.in());
    providerMajorVersion_ = wire.JMSProviderMajorVersion;
    providerMinorVersion_ = wire.JMSProviderMinorVersion;
    supportsPersistent_ = wire.supportsPersistent != 0;
    supportsNonPersistent_ = wire.supportsNonPersistent != 0;
    supportsTxSessions_ = wire.supportsTxSessions != 0;
    driverName_ = toWString(wire.driverName.in());
}

}  // namespace jms
