#include "connection/TlsTransport.h"

#include <string>

#include <omniORB4/CORBA.h>
#include <omniORB4/sslContext.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

namespace jms::tls {

namespace {

// Handshakes of outgoing calls run on the calling thread, so a reason kept
// per thread belongs to the call that failed. Threads that watch nothing
// (the broker's own) record nothing.
thread_local int watchers = 0;
thread_local std::string firstFailure;

void record(std::string reason) {
    if (watchers > 0 && firstFailure.empty()) firstFailure = std::move(reason);
}

int onVerify(int ok, X509_STORE_CTX* store) {
    if (!ok) {
        record(std::string("certificate verify failed (") +
               X509_verify_cert_error_string(X509_STORE_CTX_get_error(store)) + ")");
    }
    return ok;
}

// OpenSSL 3.0 has no name for TLS 1.3's certificate_required alert.
std::string alertName(int value) {
    constexpr int certificateRequired = 116;
    if ((value & 0xff) == certificateRequired) return "certificate required";
    const std::string name = SSL_alert_desc_string_long(value);
    return name == "unknown" ? "number " + std::to_string(value & 0xff) : name;
}

void onInfo(const SSL*, int where, int value) {
    // Only fatal alerts end a handshake; a warning is a normal close.
    if ((where & SSL_CB_ALERT) && (where & SSL_CB_READ) && SSL_alert_type_string(value)[0] == 'F')
        record("the provider sent alert \"" + alertName(value) + "\"");
}

// Never prompts on a terminal: an encrypted key without sslKeyPassword fails.
int keyPassword(char* buf, int size, int, void*) {
    const char* password = sslContext::key_file_password;
    if (!password) return 0;
    const std::string text(password);
    if (text.size() >= static_cast<size_t>(size)) return 0;
    text.copy(buf, text.size());
    return static_cast<int>(text.size());
}

[[noreturn]] void refuse(const std::string& what) {
    char reason[256];
    ERR_error_string_n(ERR_get_error(), reason, sizeof reason);
    ERR_clear_error();
    omniORB::logs(1, ("TLS: " + what + ": " + reason).c_str());
    throw CORBA::INITIALIZE(0, CORBA::COMPLETED_NO);
}

// omniORB's default context reads the settings when it is built; this one
// reads them when the broker initialises it, after omniORB has parsed them.
class ClientContext : public sslContext {
protected:
    void set_supported_versions() override {
        SSL_CTX_set_min_proto_version(get_SSL_CTX(), TLS1_2_VERSION);
    }
    void set_CA() override {
        const char* file = certificate_authority_file;
        const char* path = certificate_authority_path;
        if (!file && !path) return;
        if (!SSL_CTX_load_verify_locations(get_SSL_CTX(), file, path))
            refuse(std::string("cannot load the CA of sslCAFile/sslCAPath ") + (file ? file : path));
        if (file) SSL_CTX_set_client_CA_list(get_SSL_CTX(), SSL_load_client_CA_file(file));
    }
    void set_certificate() override {
        if (key_file && !SSL_CTX_use_certificate_chain_file(get_SSL_CTX(), key_file))
            refuse(std::string("no certificate in sslKeyFile ") + key_file);
    }
    void set_privatekey() override {
        if (!key_file) return;
        SSL_CTX_set_default_passwd_cb(get_SSL_CTX(), keyPassword);
        if (!SSL_CTX_use_PrivateKey_file(get_SSL_CTX(), key_file, SSL_FILETYPE_PEM) ||
            !SSL_CTX_check_private_key(get_SSL_CTX()))
            refuse(std::string("no usable private key in sslKeyFile ") + key_file);
    }
};

}  // namespace

void prepareTransport() {
    if (!sslContext::singleton) sslContext::singleton = new ClientContext();
    if (!sslContext::verify_callback) sslContext::verify_callback = onVerify;
    if (!sslContext::info_callback) sslContext::info_callback = onInfo;
}

FailureWatch::FailureWatch() {
    ++watchers;
    firstFailure.clear();
}

FailureWatch::~FailureWatch() {
    if (--watchers == 0) firstFailure.clear();
}

WString FailureWatch::cause() {
    if (firstFailure.empty()) return {};
    const std::string text = "TLS handshake failed: " + firstFailure;
    return WString(text.begin(), text.end());
}

}  // namespace jms::tls
