#include "server/TlsContext.h"

#include <omniORB4/CORBA.h>
#include <omniORB4/sslContext.h>
#include <openssl/err.h>
#include <openssl/ssl.h>

namespace quorix::provider {
namespace {

std::string lastError() {
  char text[256];
  ERR_error_string_n(ERR_get_error(), text, sizeof text);
  ERR_clear_error();
  return text;
}

// An encrypted key would make OpenSSL prompt on the terminal; refuse instead.
int noPassword(char*, int, int, void*) { return 0; }

std::string configure(SSL_CTX* ctx, const TlsSettings& s) {
  SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION);
  SSL_CTX_set_default_passwd_cb(ctx, noPassword);
  if (!SSL_CTX_use_certificate_chain_file(ctx, s.cert.c_str()))
    return "--tls-cert " + s.cert + ": " + lastError();
  if (!SSL_CTX_use_PrivateKey_file(ctx, s.key.c_str(), SSL_FILETYPE_PEM))
    return "--tls-key " + s.key + ": " + lastError() + " (an encrypted key is not read)";
  if (!SSL_CTX_check_private_key(ctx))
    return "--tls-key " + s.key + ": not the key of --tls-cert " + s.cert;
  if (s.ca.empty()) {
    if (!SSL_CTX_set_default_verify_paths(ctx)) return "the system's CAs: " + lastError();
  } else {
    if (!SSL_CTX_load_verify_locations(ctx, s.ca.c_str(), nullptr))
      return "--tls-ca " + s.ca + ": " + lastError();
    SSL_CTX_set_client_CA_list(ctx, SSL_load_client_CA_file(s.ca.c_str()));
  }
  return "";
}

class ProviderContext : public sslContext {
 public:
  explicit ProviderContext(const TlsSettings* settings) {
    if (settings) settings_ = *settings;
  }

 protected:
  // Everything is loaded at once, where omniORB loads the CAs.
  void set_certificate() override {}
  void set_privatekey() override {}
  void set_CA() override {
    if (settings_.cert.empty()) return;
    if (!configure(get_SSL_CTX(), settings_).empty()) throw CORBA::INITIALIZE(0, CORBA::COMPLETED_NO);
  }
  // Clients calling in are asked for a certificate (checked when shown,
  // required with --tls-require-client-cert); a client called back must show one.
  int set_verify_mode() override {
    return SSL_VERIFY_PEER | (settings_.requireClientCert ? SSL_VERIFY_FAIL_IF_NO_PEER_CERT : 0);
  }

 private:
  TlsSettings settings_;
};

}  // namespace

std::string checkTls(const TlsSettings& settings) {
  SSL_CTX* ctx = SSL_CTX_new(TLS_method());
  if (!ctx) return "TLS: " + lastError();
  std::string why = configure(ctx, settings);
  SSL_CTX_free(ctx);
  return why;
}

void installTls(const TlsSettings* settings) {
  sslContext::singleton = new ProviderContext(settings);
}

}  // namespace quorix::provider
