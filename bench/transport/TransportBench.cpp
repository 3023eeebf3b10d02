// The library against the bare transport, side by side: see bench/README.md.
//
//   transport --reference FILE [--transport tcp|unix] [--rounds N] [--quick] [--only TEXT]
//   transport --reference FILE --memory [--messages N]
//   transport --reference FILE --scaling --provider-pid PID
//   transport --reference FILE --callgrind   (re-runs itself under valgrind)
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <valgrind/callgrind.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "Client.h"
#include "Counters.h"

namespace bench {
namespace {

using Clock = std::chrono::steady_clock;

struct Settings {
  std::string referenceFile;
  std::string reference;
  bool unixTransport = false;
  int rounds = 3;
  bool quick = false;
  bool memory = false;
  uint64_t messages = 1000000;
  bool scaling = false;
  int providerPid = 0;
  bool callgrind = false;
  bool underValgrind = false;
};

enum class Mode { Send, ReceiveNoWait, Receive, Push };
const char* const modeNames[] = {"send", "receive-no-wait", "receive", "push"};
const Mode modes[] = {Mode::Send, Mode::ReceiveNoWait, Mode::Receive, Mode::Push};

struct Row {
  Workload work;
  std::string name() const {
    const char* kind = work.body == Body::Text ? "text" : "bytes";
    const size_t s = work.size;
    const std::string size = s >= (1u << 20) ? std::to_string(s >> 20) + " Mi"
                             : s >= 1024     ? std::to_string(s >> 10) + " Ki"
                                             : std::to_string(s) + " ";
    return std::string(kind) + " " + size + (work.body == Body::Text ? "ch" : "B");
  }
  // Enough calls to take a few tenths of a second, and little enough queued.
  uint64_t calls(bool quick) const {
    const size_t wire = work.body == Body::Text ? work.size * 2 : work.size;
    uint64_t n = std::clamp<uint64_t>((64u << 20) / std::max<size_t>(wire, 1), 32, 4000);
    return quick ? std::max<uint64_t>(n / 8, 16) : n;
  }
};

// Only the rows whose name contains this (--only, for profiling one row).
std::string onlyRows;

std::vector<Row> rows() {
  std::vector<Row> out;
  for (Body body : {Body::Text, Body::Bytes})
    for (size_t size : {size_t(100), size_t(1024), size_t(64 * 1024), size_t(1024 * 1024)}) {
      Row row{{body, size}};
      if (row.name().find(onlyRows) != std::string::npos) out.push_back(row);
    }
  return out;
}

double cpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

struct Sample {
  double callsPerSecond = 0;
  double cpuMicros = 0;  // per message
  double allocations = 0;  // per message
};

struct Series {
  std::vector<Sample> samples;
  static double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n == 0 ? 0 : n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
  }
  template <class F>
  std::vector<double> values(F f) const {
    std::vector<double> v;
    for (const Sample& s : samples) v.push_back(f(s));
    return v;
  }
  template <class F>
  double med(F f) const { return median(values(f)); }
  // (max - min) / median, in percent.
  template <class F>
  double spread(F f) const {
    const std::vector<double> v = values(f);
    const double m = median(v);
    if (v.empty() || m == 0) return 0;
    return 100 * (*std::max_element(v.begin(), v.end()) - *std::min_element(v.begin(), v.end())) / m;
  }
};

template <class F>
Sample measure(uint64_t n, F&& work) {
  const uint64_t allocations = allocationCount();
  const uint64_t own = threadAllocationCount();
  const double cpu = cpuSeconds();
  const auto start = Clock::now();
  work();
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  Sample s;
  s.callsPerSecond = n / seconds;
  s.cpuMicros = (cpuSeconds() - cpu) * 1e6 / n;
  s.allocations = double(allocationCount() - allocations) / n;
  if (std::getenv("QJMS_BENCH_DEBUG"))
    std::fprintf(stderr, "allocations: %.2f all threads, %.2f calling thread\n", s.allocations,
                 double(threadAllocationCount() - own) / n);
  return s;
}

void fill(Client& c, uint64_t n) {
  for (uint64_t i = 0; i < n; ++i) c.send();
}

// `queued`: what waits on the client's queue; receives take what sends left.
Sample runMode(Client& c, Mode mode, uint64_t n, uint64_t& queued) {
  if (mode == Mode::Send) {
    queued += n;
    return measure(n, [&] { fill(c, n); });
  }
  if (queued < n) {
    fill(c, n - queued);
    queued = n;
  }
  queued -= n;
  switch (mode) {
    case Mode::ReceiveNoWait:
      return measure(n, [&] {
        for (uint64_t i = 0; i < n; ++i)
          if (!c.receiveNoWait()) throw std::runtime_error("receive-no-wait found the queue empty");
      });
    case Mode::Receive:
      return measure(n, [&] {
        for (uint64_t i = 0; i < n; ++i) c.receive();
      });
    default:
      if (queued != 0) throw std::runtime_error("a listener would get more than it waits for");
      return measure(n, [&] {
        if (!c.pushed(n, 120000)) throw std::runtime_error("pushed messages did not all arrive");
      });
  }
}

std::string readReference(const std::string& file) {
  std::ifstream in(file);
  std::string word;
  if (!(in >> word)) throw std::runtime_error("cannot read the reference in " + file);
  return word;
}

// ---- rows -----------------------------------------------------------------

void printRows(const std::vector<Row>& table, const std::map<std::string, Series>& raw,
               const std::map<std::string, Series>& lib, const Settings& s) {
  std::printf("\nTransport %s, %d rounds interleaved (raw, library, ...); medians, spread = (max-min)/median\n",
              s.unixTransport ? "giop:unix (Unix-domain socket)" : "giop:tcp 127.0.0.1", s.rounds);
  std::printf("%-26s %16s %16s %6s  %14s %14s %6s  %6s %6s\n", "row", "raw calls/s", "lib calls/s",
              "ratio", "raw CPU us/msg", "lib CPU us/msg", "ratio", "raw al", "lib al");
  for (const Row& row : table) {
    for (Mode mode : modes) {
      const std::string key = row.name() + " " + modeNames[int(mode)];
      const Series& r = raw.at(key);
      const Series& l = lib.at(key);
      auto rate = [](const Sample& x) { return x.callsPerSecond; };
      auto cpu = [](const Sample& x) { return x.cpuMicros; };
      auto al = [](const Sample& x) { return x.allocations; };
      char rc[32], lc[32], ru[32], lu[32];
      std::snprintf(rc, sizeof rc, "%.0f ±%.0f%%", r.med(rate), r.spread(rate));
      std::snprintf(lc, sizeof lc, "%.0f ±%.0f%%", l.med(rate), l.spread(rate));
      std::snprintf(ru, sizeof ru, "%.1f ±%.0f%%", r.med(cpu), r.spread(cpu));
      std::snprintf(lu, sizeof lu, "%.1f ±%.0f%%", l.med(cpu), l.spread(cpu));
      std::printf("%-26s %16s %16s %6.3f  %14s %14s %6.3f  %6.1f %6.1f\n", key.c_str(), rc, lc,
                  l.med(rate) / r.med(rate), ru, lu, l.med(cpu) / r.med(cpu), r.med(al), l.med(al));
    }
  }
  std::fflush(stdout);
}

int runRows(const Settings& s) {
  auto raw = makeRawClient(s.reference, "bench.raw");
  auto lib = makeLibraryClient(s.referenceFile, "bench.library");
  const std::vector<Row> table = rows();
  std::map<std::string, Series> rawSeries, libSeries;
  uint64_t rawQueued = 0, libQueued = 0;
  // One short round first, not counted: connections, caches and the provider warm up.
  for (int round = -1; round < s.rounds; ++round) {
    for (const Row& row : table) {
      const uint64_t n = round < 0 ? std::max<uint64_t>(row.calls(s.quick) / 8, 8) : row.calls(s.quick);
      raw->prepare(row.work);
      lib->prepare(row.work);
      for (Mode mode : modes) {
        const std::string key = row.name() + " " + modeNames[int(mode)];
        // Alternate which side goes first from round to round.
        for (int side = 0; side < 2; ++side) {
          const bool rawTurn = (side == 0) == (round % 2 == 0);
          const Sample sample =
              runMode(rawTurn ? *raw : *lib, mode, n, rawTurn ? rawQueued : libQueued);
          if (round >= 0) (rawTurn ? rawSeries : libSeries)[key].samples.push_back(sample);
        }
      }
    }
    if (round >= 0) std::fprintf(stderr, "round %d of %d done\n", round + 1, s.rounds);
  }
  printRows(table, rawSeries, libSeries, s);
  return 0;
}

// ---- callgrind ------------------------------------------------------------

// Under valgrind: one small run, each measured phase dumped on its own.
int runCallgrindChild(const Settings& s) {
  auto raw = makeRawClient(s.reference, "bench.raw");
  auto lib = makeLibraryClient(s.referenceFile, "bench.library");
  for (const Row& row : rows()) {
    const uint64_t n = row.work.size >= (1u << 20) ? 8 : 50;
    raw->prepare(row.work);
    lib->prepare(row.work);
    for (Mode mode : {Mode::Send, Mode::ReceiveNoWait}) {
      for (int side = 0; side < 2; ++side) {
        Client& c = side == 0 ? *raw : *lib;
        // One call outside the count, so the first call's set-up is not in it.
        c.send();
        if (mode == Mode::ReceiveNoWait) {
          c.receiveNoWait();
          fill(c, n);
        }
        CALLGRIND_ZERO_STATS;
        if (mode == Mode::Send) {
          fill(c, n);
        } else {
          for (uint64_t i = 0; i < n; ++i) c.receiveNoWait();
        }
        const std::string name = std::string(side == 0 ? "raw" : "library") + "|" + row.name() +
                                 "|" + modeNames[int(mode)] + "|" + std::to_string(n);
        CALLGRIND_DUMP_STATS_AT(name.c_str());
        if (mode == Mode::Send)
          for (uint64_t i = 0; i < n; ++i) c.receiveNoWait();
      }
    }
  }
  return 0;
}

int runCallgrind(char** argv) {
  char dirTemplate[] = "/tmp/qjms-callgrind-XXXXXX";
  const char* dir = mkdtemp(dirTemplate);
  if (!dir) throw std::runtime_error("cannot make a directory for callgrind's output");
  const std::string out = std::string("--callgrind-out-file=") + dir + "/cg.out";
  std::vector<std::string> args = {"valgrind", "--tool=callgrind", out, "--dump-instr=no",
                                   "--combine-dumps=no", "/proc/self/exe"};
  args[5] = argv[0];
  for (char** a = argv + 1; *a; ++a) args.push_back(*a);
  const pid_t child = fork();
  if (child == 0) {
    setenv("QJMS_BENCH_UNDER_VALGRIND", "1", 1);
    std::vector<char*> cargs;
    for (auto& a : args) cargs.push_back(a.data());
    cargs.push_back(nullptr);
    execvp("valgrind", cargs.data());
    std::perror("valgrind");
    _exit(127);
  }
  int status = 0;
  waitpid(child, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "the run under valgrind failed\n");
    return 1;
  }
  // name -> instructions per call
  std::map<std::string, double> perCall;
  std::vector<std::string> order;
  DIR* d = opendir(dir);
  std::vector<std::string> files;
  while (dirent* e = readdir(d)) {
    if (std::strncmp(e->d_name, "cg.out", 6) == 0) files.push_back(std::string(dir) + "/" + e->d_name);
  }
  closedir(d);
  for (const std::string& file : files) {
    std::ifstream in(file);
    std::string line, desc;
    double total = -1;
    while (std::getline(in, line)) {
      const std::string trigger = "desc: Trigger: Client Request: ";
      if (line.rfind(trigger, 0) == 0) desc = line.substr(trigger.size());
      if (line.rfind("totals: ", 0) == 0) total = std::atof(line.c_str() + 8);
      if (total < 0 && line.rfind("summary: ", 0) == 0) total = std::atof(line.c_str() + 9);
    }
    std::remove(file.c_str());
    if (desc.empty() || total < 0) continue;
    const size_t last = desc.rfind('|');
    perCall[desc.substr(0, last)] = total / std::atof(desc.c_str() + last + 1);
  }
  rmdir(dir);
  std::printf("\nClient instructions per call under callgrind (all threads; small run)\n");
  std::printf("%-34s %14s %14s %7s\n", "row", "raw Ir/call", "lib Ir/call", "ratio");
  for (const Row& row : rows()) {
    for (Mode mode : {Mode::Send, Mode::ReceiveNoWait}) {
      const std::string key = row.name() + "|" + modeNames[int(mode)];
      const double r = perCall["raw|" + key], l = perCall["library|" + key];
      std::printf("%-34s %14.0f %14.0f %7.3f\n", (row.name() + " " + modeNames[int(mode)]).c_str(),
                  r, l, r > 0 ? l / r : 0);
    }
  }
  return 0;
}

// ---- memory ---------------------------------------------------------------

double residentMiB() {
  std::ifstream in("/proc/self/statm");
  long size = 0, resident = 0;
  in >> size >> resident;
  return resident * double(sysconf(_SC_PAGESIZE)) / (1 << 20);
}

int runMemory(const Settings& s) {
  auto lib = makeLibraryClient(s.referenceFile, "bench.memory");
  lib->prepare({Body::Bytes, 1024});
  const uint64_t batch = 1000, warm = std::min<uint64_t>(20000, s.messages / 10);
  std::printf("\nMemory: %llu bytes messages of 1 KiB sent and received by one library client "
              "(batches of %llu)\n",
              (unsigned long long)s.messages, (unsigned long long)batch);
  std::printf("%12s %12s %10s\n", "messages", "RSS MiB", "msgs/s");
  auto start = Clock::now();
  uint64_t done = 0, nextReport = warm;
  while (done < s.messages) {
    const uint64_t n = std::min(batch, s.messages - done);
    fill(*lib, n);
    for (uint64_t i = 0; i < n; ++i)
      if (!lib->receiveNoWait()) throw std::runtime_error("memory run lost a message");
    done += n;
    if (done >= nextReport || done == s.messages) {
      const double secs = std::chrono::duration<double>(Clock::now() - start).count();
      std::printf("%12llu %12.1f %10.0f%s\n", (unsigned long long)done, residentMiB(), done / secs,
                  done == warm ? "   (after warm-up)" : "");
      std::fflush(stdout);
      nextReport = done < s.messages / 4 ? s.messages / 4 : nextReport + s.messages / 4;
    }
  }
  return 0;
}

// ---- provider scaling -----------------------------------------------------

double processCpuSeconds(int pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::istringstream fields(text.substr(text.rfind(')') + 2));
  std::string f;
  unsigned long long utime = 0, stime = 0;
  for (int i = 3; i <= 15 && fields >> f; ++i) {
    if (i == 14) utime = std::stoull(f);
    if (i == 15) stime = std::stoull(f);
  }
  return double(utime + stime) / sysconf(_SC_CLK_TCK);
}

int runScaling(const Settings& s) {
  if (s.providerPid <= 0) throw std::runtime_error("--scaling needs --provider-pid");
  struct Config {
    int pairs;
    bool queuePerPair;
  };
  const double seconds = s.quick ? 1.0 : 3.0;
  std::printf("\nProvider scaling: producer/consumer pairs (each its own connection, raw stubs), "
              "bytes 1 KiB, %.0f s each\n",
              seconds);
  std::printf("%-24s %12s %18s %16s\n", "configuration", "messages/s", "provider CPU us/msg",
              "provider CPU %");
  int config = 0;
  for (Config c : {Config{1, false}, Config{4, false}, Config{16, false}, Config{16, true}}) {
    ++config;
    std::vector<std::unique_ptr<Client>> producers, consumers;
    for (int i = 0; i < c.pairs; ++i) {
      const std::string queue = "bench.scale" + std::to_string(config) +
                                (c.queuePerPair ? "." + std::to_string(i) : std::string());
      producers.push_back(makeRawClient(s.reference, queue));
      consumers.push_back(makeRawClient(s.reference, queue));
      producers.back()->prepare({Body::Bytes, 1024});
    }
    std::atomic<bool> stop{false}, counting{false};
    std::atomic<uint64_t> received{0};
    std::vector<std::atomic<int64_t>> backlog(c.pairs);
    std::vector<std::thread> threads;
    for (int i = 0; i < c.pairs; ++i) {
      threads.emplace_back([&, i] {
        while (!stop) {
          // A bounded backlog: producers must not outrun the consumers for long.
          if (backlog[c.queuePerPair ? i : 0] > 200 * (c.queuePerPair ? 1 : c.pairs)) {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
            continue;
          }
          producers[i]->send();
          ++backlog[c.queuePerPair ? i : 0];
        }
      });
      threads.emplace_back([&, i] {
        while (!stop) {
          if (consumers[i]->receiveFor(100)) {
            --backlog[c.queuePerPair ? i : 0];
            if (counting) ++received;
          }
        }
      });
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const double cpu = processCpuSeconds(s.providerPid);
    counting = true;
    const auto start = Clock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    counting = false;
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    const double used = processCpuSeconds(s.providerPid) - cpu;
    stop = true;
    for (auto& t : threads) t.join();
    for (auto& consumer : consumers)
      while (consumer->receiveNoWait()) {
      }
    const double rate = received / elapsed;
    char name[64];
    std::snprintf(name, sizeof name, "%d pair%s, %s", c.pairs, c.pairs > 1 ? "s" : "",
                  c.queuePerPair ? "16 queues" : "1 queue");
    std::printf("%-24s %12.0f %18.1f %16.0f\n", name, rate, used * 1e6 / std::max<double>(received, 1),
                100 * used / elapsed);
    std::fflush(stdout);
  }
  return 0;
}

Settings parse(int argc, char** argv) {
  Settings s;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= argc) throw std::runtime_error(a + " needs a value");
      return argv[++i];
    };
    if (a == "--reference") s.referenceFile = value();
    else if (a == "--transport") {
      const std::string t = value();
      if (t != "tcp" && t != "unix") throw std::runtime_error("--transport is tcp or unix");
      s.unixTransport = t == "unix";
    } else if (a == "--rounds") s.rounds = std::max(1, std::atoi(value().c_str()));
    else if (a == "--quick") s.quick = true;
    else if (a == "--memory") s.memory = true;
    else if (a == "--messages") s.messages = std::strtoull(value().c_str(), nullptr, 10);
    else if (a == "--scaling") s.scaling = true;
    else if (a == "--provider-pid") s.providerPid = std::atoi(value().c_str());
    else if (a == "--callgrind") s.callgrind = true;
    else if (a == "--only") onlyRows = value();
    else throw std::runtime_error("unknown option " + a);
  }
  if (s.referenceFile.empty()) throw std::runtime_error("--reference FILE is required");
  s.reference = readReference(s.referenceFile);
  s.underValgrind = std::getenv("QJMS_BENCH_UNDER_VALGRIND") != nullptr;
  return s;
}

}  // namespace
}  // namespace bench

int main(int argc, char** argv) {
  using namespace bench;
  try {
    const Settings s = parse(argc, argv);
    if (s.callgrind && !s.underValgrind) return runCallgrind(argv);
    initBroker(s.unixTransport, s.scaling ? 64 : 5);
    if (s.callgrind) return runCallgrindChild(s);
    if (s.memory) return runMemory(s);
    if (s.scaling) return runScaling(s);
    return runRows(s);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "transport: %s\n", e.what());
    return 1;
  } catch (...) {
    std::fprintf(stderr, "transport: failed (an exception of neither side's kind)\n");
    return 1;
  }
}
