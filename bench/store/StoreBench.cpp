// Persistent send rate through the wire: one producer, then eight at once,
// each on its own connection sending small persistent messages to its own
// queue as fast as quorix-provider acknowledges them; against a provider that
// keeps nothing (--persistent) and one on a store, with group commit and
// without. The store lives in DIR (default: the temporary directory).
// Run: bench/store/store_bench [DIR [SECONDS]]
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "ProviderProcess.h"
#include "TempDir.h"
#include "WireClient.h"

namespace {

using namespace qjms::test;
using namespace qjms::test::wireclient;
using Clock = std::chrono::steady_clock;

long storeWrites(ProviderControl& control) {
  std::string stats = control.stats();
  size_t at = stats.find("storeWrites=");
  return at == std::string::npos ? 0 : std::atol(stats.c_str() + at + 12);
}

struct Rate {
  double sends = 0;     // per second
  double perWrite = 0;  // sends per store write
};

// Sends per second over `seconds`, after a warm-up.
Rate sendRate(const std::vector<std::string>& args, int producers, double seconds) {
  ProviderProcess server(args);
  ProviderControl control(server.ior());
  wserver::Provider_ptr p = control.provider();
  std::atomic<bool> stop{false};
  std::atomic<long> sent{0};
  std::vector<std::thread> threads;
  for (int i = 0; i < producers; ++i) {
    threads.emplace_back([&, i] {
      Connection c(p);
      wire::SessionID_var s = c.session();
      wire::UID_var q = sender(p, s.in(), "q" + std::to_string(i));
      const wire::JMSMsg m = textMessage(std::string(100, 'm'), 4, /*persistent*/ 2);
      while (!stop) {
        send(p, q.in(), m);
        ++sent;
      }
    });
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  long before = sent, writesBefore = storeWrites(control);
  auto t0 = Clock::now();
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
  long after = sent, writes = storeWrites(control) - writesBefore;
  double took = std::chrono::duration<double>(Clock::now() - t0).count();
  stop = true;
  for (std::thread& t : threads) t.join();
  return {double(after - before) / took, writes ? double(after - before) / double(writes) : 0};
}

}  // namespace

int main(int argc, char** argv) {
  setenv("ORBendPoint", "giop:tcp:127.0.0.1:", 0);  // this client's callbacks: loopback only
  setenv("ORBgiopMaxMsgSize", "67108864", 0);
  std::optional<TempDir> temp;
  std::string dir = argc > 1 ? argv[1] : (temp.emplace(), temp->path());
  double seconds = argc > 2 ? std::atof(argv[2]) : 3;
  std::printf("persistent sends of 100-character text messages, store in %s, %.0f s each\n\n",
              dir.c_str(), seconds);
  std::printf("| producers | in memory (nothing kept) | store, group commit | store, one write per call |\n");
  std::printf("|---:|---:|---:|---:|\n");
  // Each store cell: sends per second, the ratio to memory, sends per disk write.
  int run = 0;
  for (int producers : {1, 8}) {
    auto store = [&](std::vector<std::string> more) {
      std::string path = dir + "/bench-" + std::to_string(getpid()) + "-" + std::to_string(++run) + ".db";
      more.insert(more.begin(), {"--store", path});
      Rate r = sendRate(more, producers, seconds);
      for (const char* suffix : {"", "-wal", "-shm"}) std::remove((path + suffix).c_str());
      return r;
    };
    double memory = sendRate({"--persistent"}, producers, seconds).sends;
    Rate grouped = store({}), single = store({"--no-group-commit"});
    std::printf("| %d | %.0f/s | %.0f/s (%.3f; %.1f per write) | %.0f/s (%.3f; %.1f per write) |\n",
                producers, memory, grouped.sends, grouped.sends / memory, grouped.perWrite,
                single.sends, single.sends / memory, single.perWrite);
    std::fflush(stdout);
  }
  return 0;
}
