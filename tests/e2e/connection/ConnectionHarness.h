#pragma once
// Shared set-up of the connection end-to-end suites: a quorix-provider with
// test control, connections made through the library's public entry, and
// the exact texts of a failure.
#include <functional>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include <jms/jms.h>

#include "ProviderControl.h"
#include "ProviderProcess.h"
#include "connection/CltConnection.h"

namespace qjms::test {

jms::WString wide(const std::string& ascii);
std::string ascii(const jms::WString& text);

// The texts of the JMSException a call threw; threw is false when none.
struct Thrown {
    bool threw = false;
    std::string message, errorCode;
};
Thrown thrownBy(const std::function<void()>& call);

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
                                                  const std::string& driver = "vol");

    ProviderProcess server_;
    ProviderControl control_;
};

}  // namespace qjms::test
