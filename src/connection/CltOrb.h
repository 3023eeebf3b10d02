#ifndef QJMS_CONNECTION_CLTORB_H
#define QJMS_CONNECTION_CLTORB_H

#include <omniORB4/CORBA.h>

namespace jms {

/// The process-wide broker and its root POA. Built on first use, exactly
/// once even when several threads ask at the same time, and kept until the
/// process ends (never destroyed: servants and references of any thread may
/// still use the broker while static objects are torn down).
///
/// The broker is started with no arguments; omniORB still reads its own
/// configuration (OMNIORB_CONFIG, ORBxxx environment variables), its SSL
/// settings included: the SSL transport is always there, so a provider
/// reference that offers TLS is reached over TLS (see TlsTransport.h).
class CltOrb {
public:
    /// Builds the broker on the first call. A broker failure raises the
    /// CORBA::SystemException and leaves nothing behind: the next call tries
    /// again.
    static CltOrb& instance();

    /// Borrowed references, valid for the life of the process.
    CORBA::ORB_ptr orb() const { return orb_.in(); }
    PortableServer::POA_ptr rootPOA() const { return rootPOA_.in(); }

    /// Lets requests reach the servants of the root POA; harmless when the
    /// manager is already active.
    void activatePOAManager() const;

    /// A new reference from its stringified form (nil for a nil reference);
    /// a malformed text raises CORBA::BAD_PARAM.
    CORBA::Object_var stringToObject(const char* reference) const;

    CltOrb(const CltOrb&) = delete;
    CltOrb& operator=(const CltOrb&) = delete;

private:
    CltOrb();
    ~CltOrb() = default;

    CORBA::ORB_var orb_;
    PortableServer::POA_var rootPOA_;
};

}  // namespace jms

#endif
