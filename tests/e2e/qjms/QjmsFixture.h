#pragma once
// A quorix-provider with test control for each test, and qjms pointed at it.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "ProviderControl.h"
#include "ProviderProcess.h"
#include "QjmsRunner.h"

namespace qjms::test {

class QjmsE2E : public ::testing::Test {
protected:
    ProviderProcess provider;
    ProviderControl control{provider.ior()};

    // qjms --ior <the provider's file> ARGS...
    QjmsResult qjms(std::vector<std::string> args, const std::string& input = "",
                    const std::map<std::string, std::string>& env = {}) {
        args.insert(args.begin(), {"--ior", provider.iorFile()});
        return runQjms(args, input, env);
    }

    // The --json lines of a run that must have succeeded.
    static std::vector<nlohmann::json> messages(const QjmsResult& r) {
        EXPECT_EQ(r.status, 0) << r.err;
        std::vector<nlohmann::json> out;
        std::istringstream lines(r.out);
        for (std::string line; std::getline(lines, line);) out.push_back(nlohmann::json::parse(line));
        return out;
    }

    static std::vector<std::string> field(const std::vector<nlohmann::json>& ms, const char* name) {
        std::vector<std::string> out;
        for (const auto& m : ms) out.push_back(m.at(name).get<std::string>());
        return out;
    }
};

}  // namespace qjms::test
