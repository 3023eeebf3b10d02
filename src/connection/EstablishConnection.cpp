#include <jms/JMSException.h>

#include "api/ProviderCall.h"
#include "connection/CallBounds.h"
#include "connection/CltConnection.h"
#include "connection/CltOrb.h"
#include "connection/TlsTransport.h"
#include "idl/WireText.h"
#include "idl/WireValues.h"

namespace jms {

using pcall::Exc;

namespace {

const char16_t* const errCreate = u"CltException::ERR_CONNECTION_CREATE";

// What the library tells the provider about itself.
wire::ConnectionMetaData clientMetaData() {
    wire::ConnectionMetaData md;
    md.JMSMajorVersion = 1;
    md.JMSMinorVersion = 0;
    md.JMSProviderName = toCorbaWString(u"ZorvaneJMS");
    md.JMSProviderMajorVersion = 5;
    md.JMSProviderMinorVersion = 0;
    md.supportsPersistent = 0;
    md.supportsNonPersistent = 0;
    md.supportsTxSessions = 0;
    md.driverName = toCorbaWString(WString());
    return md;
}

// An unreachable provider; the reason of a failed TLS handshake where the
// transport gave one.
JMSException unreachable(pcall::NoOwner&) {
    return JMSException(u"SystemException: " + tls::FailureWatch::cause(), errCreate);
}

}  // namespace

void CltConnection::establishConnection(Provider_ptr provider, const WString& user,
                                        const WString& password, const WString& driverName,
                                        int32_t defaultPriority, int32_t timeout,
                                        bool factoryFlag, const WString& clientID) {
    if (!user.empty() && password.empty()) throw JMSException(u"badArg: null password");
    if (!password.empty() && user.empty()) throw JMSException(u"badArg: null username");
    if (CORBA::is_nil(provider) || driverName.empty()) {
        const std::string repoId = wireServer::Provider::_PD_repoId;
        throw JMSException(u"internal:  impl= " + WString(repoId.begin(), repoId.end()) +
                           u" driverName= " + driverName);
    }
    clientID_ = clientID;
    factoryFlag_ = factoryFlag;
    provider_ = wireServer::Provider::_duplicate(provider);
    defaultPriority_ = defaultPriority;
    timeout_ = timeout;

    static const pcall::Table<> reachable{{{Exc::System, pcall::reason(errCreate)}}};
    reachable.call([&] {
        CltOrb& orb = CltOrb::instance();
        listener_.activate(orb.rootPOA());
        orb.activatePOAManager();
        closer_ = callbounds::boundedCopy(provider_.in(), callbounds::closeMs());
    });

    static const pcall::Table<> table{{{Exc::Store, pcall::reason(errCreate)},
                                       {Exc::Version, pcall::reason(errCreate)},
                                       {Exc::BadArg, pcall::reason(errCreate)},
                                       {Exc::BadState, pcall::reason(errCreate)},
                                       {Exc::Sec, pcall::reason(errCreate)},
                                       {Exc::Resource, pcall::reason(errCreate)},
                                       {Exc::System, pcall::delegate(unreachable)}},
                                      {pcall::retryResource}};
    const tls::FailureWatch handshakes;
    wire::ConnectionMetaData_var providerMetaData;
    connectionID_ = table.call([&] {
        return provider_->createConnection(providerMetaData.out(), listener_.reference(),
                                           clientMetaData(), makeStringU(clientID_),
                                           makeStringU(user), makeStringU(password),
                                           toCorbaWString(driverName).in());
    });
    metaData_.fill(providerMetaData.in());
    state_->setStarted(false);
}

}  // namespace jms
