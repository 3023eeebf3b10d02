#include "ConnectionHarness.h"

namespace qjms::test {

jms::WString wide(const std::string& s) { return jms::WString(s.begin(), s.end()); }

std::string ascii(const jms::WString& text) {
    std::string out;
    for (char16_t u : text) out += u < 0x80 ? char(u) : '?';
    return out;
}

Thrown thrownBy(const std::function<void()>& call) {
    try {
        call();
    } catch (const jms::JMSException& e) {
        return {true, ascii(e.getMessage()), ascii(e.getErrorCode())};
    }
    return {};
}

std::unique_ptr<jms::QueueConnection> ConnectionE2E::connect(const std::string& user,
                                                             const std::string& password,
                                                             const std::string& clientID,
                                                             const std::string& driver) {
    jms::ImplDepFactory entry(wide(server_.iorFile()), wide(driver), true, wide(clientID), 4, 0);
    std::unique_ptr<jms::QueueConnectionFactory> factory(entry.createQueueConnectionFactory());
    return std::unique_ptr<jms::QueueConnection>(
        user.empty() && password.empty()
            ? factory->createQueueConnection()
            : factory->createQueueConnection(wide(user), wide(password)));
}

}  // namespace qjms::test
