#include <termios.h>
#include <unistd.h>

#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "server/Credentials.h"
#include "server/Options.h"
#include "server/Server.h"

namespace {

// One line from standard input, not echoed when it is a terminal.
std::string readPassword() {
  termios saved{};
  const bool terminal = isatty(STDIN_FILENO) && tcgetattr(STDIN_FILENO, &saved) == 0;
  if (terminal) {
    std::cerr << "Password: " << std::flush;
    termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
  }
  std::string line;
  std::getline(std::cin, line);
  if (terminal) {
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
    std::cerr << std::endl;
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

int printHash() {
  std::string password = readPassword();
  if (password.empty()) {
    std::cerr << "quorix-provider: no password on standard input" << std::endl;
    return 2;
  }
  try {
    std::cout << quorix::provider::hashPassword(password) << std::endl;
  } catch (const std::runtime_error& e) {
    std::cerr << "quorix-provider: " << e.what() << std::endl;
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace quorix::provider;
  // Before any thread exists, so that only sigwait sees the stop signals.
  blockStopSignals();
  ParsedOptions parsed = parseOptions(std::vector<std::string>(argv + 1, argv + argc));
  if (std::holds_alternative<HelpRequested>(parsed)) {
    std::cout << usage();
    return 0;
  }
  if (auto* err = std::get_if<OptionError>(&parsed)) {
    std::cerr << "quorix-provider: " << err->message << "\n" << usage();
    return 2;
  }
  const Options& options = std::get<Options>(parsed);
  if (options.hashPassword) return printHash();
  if (!options.users.empty())
    std::cerr << "quorix-provider: warning: --user shows its password to every local user "
                 "(ps); keep --user for tests and use --users FILE"
              << std::endl;
  return runServer(options);
}
