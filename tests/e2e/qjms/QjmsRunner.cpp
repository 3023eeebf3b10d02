#include "QjmsFixture.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace qjms::test {

namespace {

std::vector<char*> pointers(std::vector<std::string>& strings) {
    std::vector<char*> out;
    for (auto& s : strings) out.push_back(s.data());
    out.push_back(nullptr);
    return out;
}

std::vector<std::string> childEnvironment(const std::map<std::string, std::string>& extra) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        if (std::strncmp(*e, "QJMS_IOR=", 9) != 0 && std::strncmp(*e, "QJMS_PASSWORD=", 14) != 0) {
            env.emplace_back(*e);
        }
    }
    for (const auto& [name, value] : extra) env.push_back(name + "=" + value);
    return env;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace

void writeFile(const std::string& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
}

QjmsProcess::QjmsProcess(const std::vector<std::string>& args, const std::string& input,
                         const std::map<std::string, std::string>& env) {
    char pattern[] = "/tmp/qjms-run-XXXXXX";
    if (!mkdtemp(pattern)) throw std::runtime_error("mkdtemp failed");
    dir_ = pattern;
    writeFile(dir_ + "/in", input);
    std::vector<std::string> argv = args;
    argv.insert(argv.begin(), QJMS_TOOL_BINARY);
    std::vector<std::string> envv = childEnvironment(env);
    std::vector<char*> argp = pointers(argv), envp = pointers(envv);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, (dir_ + "/in").c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, (dir_ + "/out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, (dir_ + "/err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t none, interrupts;
    sigemptyset(&none);
    sigemptyset(&interrupts);
    sigaddset(&interrupts, SIGINT);
    sigaddset(&interrupts, SIGTERM);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &interrupts);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    const int rc = posix_spawn(&pid_, argp[0], &actions, &attr, argp.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    if (rc != 0) throw std::runtime_error(std::string("cannot start qjms: ") + std::strerror(rc));
}

QjmsProcess::~QjmsProcess() {
    if (pid_ > 0) finish();
    std::filesystem::remove_all(dir_);
}

void QjmsProcess::signal(int sig) { kill(pid_, sig); }

QjmsResult QjmsProcess::finish() {
    // Far above any run of the suite; a hung tool fails the test instead of the whole suite.
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    int status = 0;
    while (waitpid(pid_, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > giveUp) {
            kill(pid_, SIGKILL);
            waitpid(pid_, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    pid_ = -1;
    QjmsResult r;
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    r.out = readFile(dir_ + "/out");
    r.err = readFile(dir_ + "/err");
    return r;
}

QjmsResult runQjms(const std::vector<std::string>& args, const std::string& input,
                   const std::map<std::string, std::string>& env) {
    return QjmsProcess(args, input, env).finish();
}

}  // namespace qjms::test
