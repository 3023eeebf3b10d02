#include "Connect.h"

#include <cstdlib>
#include <fstream>

#include "Status.h"
#include "Text.h"

namespace qjms::cli {

namespace {

jms::WString wideOption(const std::string& value, const char* what) {
    auto wide = fromUtf8(value);
    if (!wide) throw UsageError(std::string(what) + " is not valid UTF-8");
    return *wide;
}

std::string password(const ConnectionOptions& options) {
    if (!options.passwordFile.empty()) {
        std::ifstream in(options.passwordFile, std::ios::binary);
        if (!in) throw UsageError("cannot read the password file " + options.passwordFile);
        std::string line;
        std::getline(in, line);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        return line;
    }
    if (const char* env = std::getenv("QJMS_PASSWORD")) return env;
    throw UsageError("--user needs a password: set QJMS_PASSWORD or give --password-file FILE");
}

jms::ImplDepFactory entry(const ConnectionSettings& s) {
    return jms::ImplDepFactory(s.iorFile, s.driver, true, s.clientId, 4, 0);
}

}  // namespace

ConnectionSettings resolve(const ConnectionOptions& options) {
    std::string ior = options.ior;
    if (ior.empty()) {
        const char* env = std::getenv("QJMS_IOR");
        if (!env || !*env) throw UsageError("no reference file: give --ior FILE or set QJMS_IOR");
        ior = env;
    }
    if (!std::ifstream(ior)) throw UsageError("cannot read the reference file " + ior);
    if (!options.passwordFile.empty() && options.user.empty()) {
        throw UsageError("--password-file needs --user");
    }
    ConnectionSettings s;
    s.iorFile = wideOption(ior, "--ior");
    s.driver = wideOption(options.driver, "--driver");
    s.clientId = wideOption(options.clientId, "--client-id");
    if (!options.user.empty()) {
        s.withUser = true;
        s.user = wideOption(options.user, "--user");
        s.password = wideOption(password(options), "the password");
    }
    return s;
}

Link<jms::QueueConnection> openQueueConnection(const ConnectionSettings& s) {
    jms::ImplDepFactory library = entry(s);
    std::unique_ptr<jms::QueueConnectionFactory> factory(library.createQueueConnectionFactory());
    return Link<jms::QueueConnection>(library, std::unique_ptr<jms::QueueConnection>(
        s.withUser ? factory->createQueueConnection(s.user, s.password)
                   : factory->createQueueConnection()));
}

Link<jms::TopicConnection> openTopicConnection(const ConnectionSettings& s) {
    jms::ImplDepFactory library = entry(s);
    std::unique_ptr<jms::TopicConnectionFactory> factory(library.createTopicConnectionFactory());
    return Link<jms::TopicConnection>(library, std::unique_ptr<jms::TopicConnection>(
        s.withUser ? factory->createTopicConnection(s.user, s.password)
                   : factory->createTopicConnection()));
}

}  // namespace qjms::cli
