#pragma once
// Shared set-up of the connection end-to-end suites: a quorix-provider with
// test control, connections made through the library's public entry, and
// checks of the exact failure texts.
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
std::string narrowText(const jms::WString& text);

// What a call threw: "" when nothing; message, error code otherwise.
struct Thrown {
    bool threw = false;
    std::string message;
    std::string errorCode;
};
Thrown thrownBy(const std::function<void()>& call);

// The library object behind a connection face.
jms::CltConnection& impl(jms::Connection& connection);

class ConnectionE2E : public ::testing::Test {
protected:
    explicit ConnectionE2E(std::vector<std::string> serverArgs = {})
        : server_(std::move(serverArgs)), control_(server_.ior()) {}

    // A connection through a reference file, as an application makes one.
    std::unique_ptr<jms::QueueConnection> connect(const std::string& user = "",
                                                  const std::string& password = "",
                                                  const std::string& clientID = "",
                                                  const std::string& driver = "vol");
    int cidOf(jms::Connection& connection) { return impl(connection).connectionID().cid; }

    ProviderProcess server_;
    ProviderControl control_;
};

}  // namespace qjms::test
