#include "ProviderProcess.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace qjms::test {

const char* providerBinary() { return QJMS_PROVIDER_BINARY; }

namespace {

std::string readFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// The environment minus the client-side settings: an endpoint would give the
// server a second one, a call time-out would bound its calls to clients.
std::vector<std::string> serverEnvironment() {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e)
    if (std::strncmp(*e, "ORBendPoint=", 12) != 0 &&
        std::strncmp(*e, "ORBclientCallTimeOutPeriod=", 27) != 0)
      env.emplace_back(*e);
  return env;
}

std::vector<char*> pointers(std::vector<std::string>& strings) {
  std::vector<char*> out;
  for (auto& s : strings) out.push_back(s.data());
  out.push_back(nullptr);
  return out;
}

pid_t spawn(std::vector<std::string> args, const std::string& outPath, const std::string& errPath) {
  args.insert(args.begin(), providerBinary());
  std::vector<std::string> env = serverEnvironment();
  std::vector<char*> argv = pointers(args), envp = pointers(env);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  // The test process may block signals; the server must start with a clean mask.
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attr, &none);
  // A process group of its own: a test that stops the server (SIGSTOP) must not
  // have the kernel wake it with SIGHUP and SIGCONT when some other process of
  // an orphaned group it shared exits, as happens under a parallel ctest.
  posix_spawnattr_setpgroup(&attr, 0);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETPGROUP);
  pid_t pid = -1;
  int rc = posix_spawn(&pid, argv[0], &actions, &attr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  if (rc != 0) throw std::runtime_error(std::string("cannot start ") + argv[0] + ": " + std::strerror(rc));
  return pid;
}

int exitStatus(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

std::string makeTempDir() {
  const char* base = std::getenv("TMPDIR");
  std::string templ = std::string(base && *base ? base : "/tmp") + "/qjms-provider-XXXXXX";
  if (!mkdtemp(templ.data())) throw std::runtime_error("cannot create a temporary directory");
  return templ;
}

}  // namespace

ProviderProcess::ProviderProcess(std::vector<std::string> extraArgs, bool testControl,
                                 std::chrono::milliseconds startTimeout)
    : dir_(makeTempDir()), iorFile_(dir_ + "/provider.ior") {
  std::vector<std::string> args = {"--ior-file", iorFile_};
  if (std::find(extraArgs.begin(), extraArgs.end(), "--endpoint") == extraArgs.end())
    args.insert(args.end(), {"--endpoint", "giop:tcp:127.0.0.1:0"});
  if (testControl) args.push_back("--test-control");
  args.insert(args.end(), extraArgs.begin(), extraArgs.end());
  pid_ = spawn(args, dir_ + "/stdout", dir_ + "/stderr");

  auto deadline = std::chrono::steady_clock::now() + startTimeout;
  for (;;) {
    std::string text = readFile(iorFile_);
    if (text.rfind("IOR:", 0) == 0) {
      ior_ = text.substr(0, text.find_first_of("\r\n"));
      return;
    }
    if (!running() || std::chrono::steady_clock::now() > deadline) {
      std::string why = "quorix-provider did not start: " + log();
      stop(std::chrono::seconds(5));
      throw std::runtime_error(why);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

ProviderProcess::~ProviderProcess() {
  // A server that did not exit cleanly (a crash, a sanitizer report) shows its log.
  if (int status = stop(); status != 0 && !killed_) {
    std::fprintf(stderr, "quorix-provider exited with status %d; its log:\n%s\n", status,
                 log().c_str());
  }
  std::remove((dir_ + "/stdout").c_str());
  std::remove((dir_ + "/stderr").c_str());
  std::remove(iorFile_.c_str());
  rmdir(dir_.c_str());
}

bool ProviderProcess::running() {
  if (pid_ <= 0) return false;
  int status = 0;
  pid_t r = waitpid(pid_, &status, WNOHANG);
  if (r == pid_) {
    status_ = exitStatus(status);
    pid_ = -1;
    return false;
  }
  return r == 0;
}

std::string ProviderProcess::log() const { return readFile(dir_ + "/stderr"); }

int ProviderProcess::stop(std::chrono::milliseconds grace) {
  if (!running()) return status_;
  ::kill(pid_, SIGTERM);
  ::kill(pid_, SIGCONT);  // a stopped server acts on it only once continued
  auto deadline = std::chrono::steady_clock::now() + grace;
  while (running()) {
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(pid_, SIGKILL);
      int status = 0;
      waitpid(pid_, &status, 0);
      status_ = exitStatus(status);
      pid_ = -1;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return status_;
}

void ProviderProcess::kill() {
  if (!running()) return;
  killed_ = true;
  ::kill(pid_, SIGKILL);
  int status = 0;
  waitpid(pid_, &status, 0);
  status_ = exitStatus(status);
  pid_ = -1;
}

namespace {
// Whether every thread of the process shows state 'T' (stopped) in /proc.
bool allStopped(pid_t pid) {
  const std::string dir = "/proc/" + std::to_string(pid) + "/task";
  DIR* tasks = opendir(dir.c_str());
  if (!tasks) return false;
  bool stopped = true;
  while (dirent* entry = readdir(tasks)) {
    if (entry->d_name[0] == '.') continue;
    std::ifstream stat(dir + "/" + entry->d_name + "/stat");
    std::string line;
    std::getline(stat, line);
    const size_t close = line.rfind(')');
    if (close != std::string::npos && close + 2 < line.size() && line[close + 2] != 'T') stopped = false;
  }
  closedir(tasks);
  return stopped;
}
}  // namespace

void ProviderProcess::signal(int sig) {
  if (!running()) return;
  ::kill(pid_, sig);
  // A stop takes effect once every thread of the server has taken it: until
  // then a call made after kill() may still be answered.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (sig == SIGSTOP && !allStopped(pid_) && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

int runProviderToExit(const std::vector<std::string>& args, std::string* output) {
  std::string dir = makeTempDir();
  pid_t pid = spawn(args, dir + "/stdout", dir + "/stderr");
  int status = 0;
  waitpid(pid, &status, 0);
  if (output) *output = readFile(dir + "/stdout") + readFile(dir + "/stderr");
  std::remove((dir + "/stdout").c_str());
  std::remove((dir + "/stderr").c_str());
  rmdir(dir.c_str());
  return exitStatus(status);
}

}  // namespace qjms::test
