#include "ConnectionHarness.h"

namespace qjms::test {

jms::WString wide(const std::string& ascii) { return jms::WString(ascii.begin(), ascii.end()); }

std::string narrowText(const jms::WString& text) {
    std::string out;
    for (char16_t u : text) out += u < 0x80 ? char(u) : '?';
    return out;
}

Thrown thrownBy(const std::function<void()>& call) {
    Thrown t;
    try {
        call();
    } catch (const jms::JMSException& e) {
        t.threw = true;
        t.message = narrowText(e.getMessage());
        t.errorCode = narrowText(e.getErrorCode());
    }
    return t;
}

jms::CltConnection& impl(jms::Connection& connection) {
    return dynamic_cast<jms::CltConnection&>(connection);
}

std::unique_ptr<jms::QueueConnection> ConnectionE2E::connect(const std::string& user,
                                                             const std::string& password,
                                                             const std::string& clientID,
                                                             const std::string& driver) {
    jms::ImplDepFactory entry(wide(server_.iorFile()), wide(driver), true, wide(clientID), 4, 0);
    std::unique_ptr<jms::QueueConnectionFactory> factory(entry.createQueueConnectionFactory());
    if (user.empty() && password.empty()) {
        return std::unique_ptr<jms::QueueConnection>(factory->createQueueConnection());
    }
    return std::unique_ptr<jms::QueueConnection>(
        factory->createQueueConnection(wide(user), wide(password)));
}

}  // namespace qjms::test
