#include <iostream>
#include <string>
#include <vector>

#include "server/Options.h"
#include "server/Server.h"

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
  return runServer(std::get<Options>(parsed));
}
