#pragma once
// Starts quorix-provider in its own process on a free loopback port, waits
// for its reference file, and stops it (SIGTERM, then SIGKILL if it hangs).
//
//   qjms::test::ProviderProcess provider;                 // --test-control on
//   std::string ref = provider.iorFile();                 // for ImplDepFactory
//   qjms::test::ProviderProcess plain({"--no-tx"}, false); // no test control
//   ProviderProcess({"--store", path}) again on the same path is a restart.
// It listens on giop:tcp:127.0.0.1:0 unless the arguments name an --endpoint.
#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace qjms::test {

// The built server binary.
const char* providerBinary();

class ProviderProcess {
 public:
  explicit ProviderProcess(std::vector<std::string> extraArgs = {}, bool testControl = true,
                           std::chrono::milliseconds startTimeout = std::chrono::seconds(30));
  ~ProviderProcess();
  ProviderProcess(const ProviderProcess&) = delete;
  ProviderProcess& operator=(const ProviderProcess&) = delete;

  const std::string& iorFile() const { return iorFile_; }
  const std::string& ior() const { return ior_; }
  pid_t pid() const { return pid_; }
  bool running();
  // What the server wrote on standard error so far.
  std::string log() const;

  // SIGTERM and wait; returns the exit status (128+signal if killed).
  int stop(std::chrono::milliseconds grace = std::chrono::seconds(20));
  // SIGKILL and reap, as a test that kills the server on purpose (its log is
  // not shown then).
  void kill();
  // Any other signal (SIGSTOP, SIGCONT, SIGTERM without waiting).
  void signal(int sig);

 private:
  std::string dir_;
  std::string iorFile_;
  std::string ior_;
  pid_t pid_ = -1;
  int status_ = -1;
  bool killed_ = false;  // by the test: no log at the end
};

// Runs the server binary with these arguments and returns its exit status,
// for options that make it exit at once (--help, a bad option).
int runProviderToExit(const std::vector<std::string>& args, std::string* output = nullptr);

}  // namespace qjms::test
