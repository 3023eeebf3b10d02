#ifndef QJMS_CONNECTION_TLSTRANSPORT_H
#define QJMS_CONNECTION_TLSTRANSPORT_H

#include <jms/Types.h>

namespace jms::tls {

/// Readies omniORB's SSL transport; call before the broker starts. Its
/// settings stay omniORB's own (sslCAFile, sslCAPath, sslKeyFile,
/// sslKeyPassword, sslVerifyMode), read when the broker starts. Two things
/// differ from omniORB's default context: without a CA the transport stays
/// on and trusts no peer (omniORB would warn on standard error and switch it
/// off), and an unencrypted key needs no sslKeyPassword. A context the
/// application installed itself is kept.
void prepareTransport();

/// While it lives, remembers the first reason a TLS handshake of this thread
/// failed, as the transport reported it.
class FailureWatch {
public:
    FailureWatch();
    ~FailureWatch();
    FailureWatch(const FailureWatch&) = delete;
    FailureWatch& operator=(const FailureWatch&) = delete;

    /// "TLS handshake failed: " and the reason, or empty when no handshake
    /// of this thread failed since the innermost watch began.
    static WString cause();
};

}  // namespace jms::tls

#endif
