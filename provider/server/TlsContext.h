#pragma once
// The provider's side of omniORB's SSL transport, set up from its options
// rather than omniORB's settings: the certificate and key in files of their
// own, the CAs it trusts, and whether clients must show a certificate.
#include <string>

namespace quorix::provider {

struct TlsSettings {
  std::string cert, key, ca;  // ca empty: the system's trusted CAs
  bool requireClientCert = false;
};

// "" when the files make a usable context, else what is wrong with which.
std::string checkTls(const TlsSettings& settings);

// Installs the context omniORB's SSL transport uses; before the ORB starts.
// Without settings the transport trusts nobody, so that omniORB neither warns
// nor calls a client back over TLS.
void installTls(const TlsSettings* settings);

}  // namespace quorix::provider
