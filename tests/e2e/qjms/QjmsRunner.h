#pragma once
// Runs the qjms executable as a user would: arguments, standard input, extra
// environment; captures its exit status, standard output and standard error.
// The child inherits the test's environment (loopback callback endpoint,
// message size), less QJMS_IOR and QJMS_PASSWORD unless given.
#include <sys/types.h>

#include <map>
#include <string>
#include <vector>

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

std::string decodeBase64(const std::string& text);
std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& content);

}  // namespace qjms::test
