#pragma once
// Shared set-up of the connection end-to-end suites: a quorix-provider with
// test control, connections made through the library's public entry, and
// the exact texts of a failure.
#include <functional>
#include <memory>
#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <jms/jms.h>

#include "ProviderControl.h"
#include "ProviderProcess.h"
#include "connection/CltConnection.h"

namespace qjms::test {

inline jms::WString wide(const std::string& s) { return jms::WString(s.begin(), s.end()); }
inline std::string ascii(const jms::WString& text) { return std::string(text.begin(), text.end()); }

// "message|error code" of the JMSException a call threw; empty when none.
inline std::string thrownBy(const std::function<void()>& call) {
    try {
        call();
    } catch (const jms::JMSException& e) {
        return ascii(e.getMessage()) + "|" + ascii(e.getErrorCode());
    } catch (const CORBA::Exception& e) {
        return std::string("escaped CORBA exception ") + e._name();
    }
    return "";
}

inline bool isClosed(jms::Connection& c) {
    return thrownBy([&] { c.getClientID(); }) == "connectionClosed: getClientID|";
}

using ::testing::HasSubstr;

inline jms::CltConnection& impl(jms::Connection& c) { return dynamic_cast<jms::CltConnection&>(c); }
inline int cidOf(jms::Connection& c) { return impl(c).connectionID().cid; }

class ConnectionE2E : public ::testing::Test {
protected:
    explicit ConnectionE2E(std::vector<std::string> serverArgs = {})
        : server_(std::move(serverArgs)), control_(server_.ior()) {}

    // Through a reference file, as an application connects; the two-argument
    // variant whenever a credential is given.
    std::unique_ptr<jms::QueueConnection> connect(const std::string& user = "",
                                                  const std::string& password = "",
                                                  const std::string& clientID = "",
                                                  const std::string& driver = "vol") {
        jms::ImplDepFactory entry(wide(server_.iorFile()), wide(driver), true, wide(clientID), 4, 0);
        std::unique_ptr<jms::QueueConnectionFactory> factory(entry.createQueueConnectionFactory());
        return std::unique_ptr<jms::QueueConnection>(
            user.empty() && password.empty()
                ? factory->createQueueConnection()
                : factory->createQueueConnection(wide(user), wide(password)));
    }

    ProviderProcess server_;
    ProviderControl control_;
};

}  // namespace qjms::test
