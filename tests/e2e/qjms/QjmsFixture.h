#pragma once
// A quorix-provider with test control for each test, and qjms pointed at it,
// run as a user would: arguments, standard input, extra environment; its exit
// status, standard output and standard error captured. The child inherits the
// test's environment (loopback callback endpoint, message size), less QJMS_IOR
// and QJMS_PASSWORD unless given.
#include <sys/types.h>

#include <map>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "ProviderControl.h"
#include "ProviderProcess.h"

namespace qjms::test {

struct QjmsResult {
    int status = -1;  // exit status, or 128 + signal
    std::string out;
    std::string err;
};

class QjmsProcess {
public:
    QjmsProcess(const std::vector<std::string>& args, const std::string& input = "",
                const std::map<std::string, std::string>& env = {});
    ~QjmsProcess();
    QjmsProcess(const QjmsProcess&) = delete;
    QjmsProcess& operator=(const QjmsProcess&) = delete;

    void signal(int sig);
    // Waits (killing it after a generous bound) and collects.
    QjmsResult finish();

private:
    std::string dir_;
    pid_t pid_ = -1;
};

QjmsResult runQjms(const std::vector<std::string>& args, const std::string& input = "",
                   const std::map<std::string, std::string>& env = {});

void writeFile(const std::string& path, const std::string& content);



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
