#include "server/Server.h"

#include <signal.h>
#include <unistd.h>

#include <condition_variable>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "control/CallLog.h"
#include "control/TestControl.h"
#include "core/Broker.h"
#include "core/Periodic.h"
#include "core/Pinger.h"
#include "core/SqliteStorage.h"
#include "core/Text.h"
#include "server/Addresses.h"
#include "server/Credentials.h"
#include "server/ProviderServant.h"
#include "server/StoredPayload.h"

// After the broker's own headers, which it needs.
#include <omniORB4/internal/objectAdapter.h>
#include "server/TlsContext.h"

namespace quorix::provider {
namespace {

sigset_t stopSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  return set;
}

// Written beside the target and renamed over it, so a reader never sees half
// a reference.
bool writeAtomically(const std::string& path, const std::string& text) {
  std::string tmp = path + ".tmp." + std::to_string(getpid());
  {
    std::ofstream out(tmp, std::ios::trunc);
    out << text << '\n';
    out.flush();
    if (!out) {
      std::remove(tmp.c_str());
      return false;
    }
  }
  if (std::rename(tmp.c_str(), path.c_str()) != 0) {
    std::remove(tmp.c_str());
    return false;
  }
  return true;
}

BrokerConfig brokerConfig(const Options& o, std::shared_ptr<Storage> storage,
                          std::shared_ptr<const Credentials> credentials) {
  BrokerConfig c;
  c.storage = std::move(storage);
  if (c.storage) c.codec = std::make_shared<StoredPayloadCodec>();
  c.groupCommit = o.groupCommit;
  c.driver = fromUtf8(o.driver);
  c.supportsPersistent = o.persistent;
  c.supportsNonPersistent = o.nonPersistent;
  c.supportsTransactions = o.transactions;
  if (!credentials->empty()) {
    c.authenticate = [credentials](const std::u16string& user, const std::u16string& password) {
      return credentials->accepts(toUtf8(user), toUtf8(password));
    };
  }
  c.maxQueueDepth = o.maxQueueDepth;
  c.maxDeliveryFailures = o.maxDeliveryFailures;
  c.deadLetterQueue = fromUtf8(o.deadLetterQueue);
  c.pushThreads = o.pushThreads;
  c.log = [](const std::u16string& text) {
    // One write per line, so it never splits a line the servant logs beside it.
    const std::string line = "quorix-provider: " + toUtf8(text) + "\n";
    std::cerr.write(line.data(), static_cast<std::streamsize>(line.size()));
    std::cerr.flush();
  };
  return c;
}

// Bounds the stop: whatever clients do (a listener that never returns, a ping
// that hangs), the process is gone this long after the signal, exit status 0.
// The Unix socket file is removed on that path too (the ORB removes it otherwise).
class StopDeadline {
 public:
  StopDeadline(std::chrono::milliseconds grace, std::string socketFile)
      : thread_([this, grace, socketFile] {
          std::unique_lock<std::mutex> lock(mutex_);
          if (cv_.wait_for(lock, grace, [this] { return done_; })) return;
          std::cerr << "quorix-provider: client calls still under way; exiting without them"
                    << std::endl;
          if (!socketFile.empty()) unlink(socketFile.c_str());
          _exit(0);
        }) {}
  ~StopDeadline() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      done_ = true;
    }
    cv_.notify_all();
    thread_.join();
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  bool done_ = false;
  std::thread thread_;
};

constexpr std::chrono::seconds kStopGrace{3};
constexpr int kStoreRefused = 3;  // exit status

int refuseStore(const StorageError& e) {
  std::cerr << "quorix-provider: cannot use the store: " << e.what() << std::endl;
  return kStoreRefused;
}
constexpr std::chrono::seconds kSweepInterval{1};

// Owns the ORB for the server's lifetime: shut down and destroyed on every path.
class OrbHolder {
 public:
  OrbHolder(const Options& o, const TlsSettings* tls) {
    std::vector<std::string> args = {"quorix-provider", "-ORBgiopMaxMsgSize",
                                     std::to_string(o.maxMessageBytes)};
    for (const std::string& e : listenEndpoints(o)) args.insert(args.end(), {"-ORBendPoint", e});
    if (const std::string unixSocket = unixEndpoint(o); !unixSocket.empty())
      args.insert(args.end(), {"-ORBendPoint", unixSocket});
    // Clients are called back over what the provider offers: TLS only when
    // it listens on TLS only, never TLS when it has no certificate to show.
    const char* callbackRule = tlsOnly(o) ? "* ssl" : tls ? "* unix,ssl,tcp" : "* unix,tcp";
    args.insert(args.end(), {"-ORBclientTransportRule", callbackRule});
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    int argc = static_cast<int>(args.size());
    installTls(tls);
    orb_ = CORBA::ORB_init(argc, argv.data());
  }
  ~OrbHolder() {
    try {
      orb_->shutdown(true);
      orb_->destroy();
    } catch (const CORBA::Exception&) {
    }
  }
  CORBA::ORB_ptr orb() const { return orb_.in(); }

 private:
  CORBA::ORB_var orb_;
};

// The file of the Unix-domain endpoint the ORB opened, if any.
std::string unixSocketFile() {
  const auto& endpoints = omni::omniObjAdapter::listMyEndpoints();
  for (CORBA::ULong i = 0; i < endpoints.length(); ++i) {
    const std::string uri = endpoints[i].in();
    if (uri.rfind("giop:unix:", 0) == 0) return uri.substr(10);
  }
  return "";
}

}  // namespace

void blockStopSignals() {
  sigset_t set = stopSignals();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  signal(SIGPIPE, SIG_IGN);
}

int runServer(const Options& o) {
  auto credentials = std::make_shared<Credentials>();
  for (auto& [user, password] : o.users) credentials->addPlain(user, password);
  if (!o.usersFile.empty()) {
    if (std::string why = credentials->addFile(o.usersFile); !why.empty()) {
      std::cerr << "quorix-provider: --users " << why << std::endl;
      return 2;
    }
  }
  std::optional<TlsSettings> tls;
  if (tlsOn(o)) {
    tls = TlsSettings{o.tlsCert, o.tlsKey, o.tlsCa, o.tlsRequireClientCert};
    if (std::string why = checkTls(*tls); !why.empty()) {
      std::cerr << "quorix-provider: " << why << std::endl;
      return 2;
    }
  }
  // Checked before anything starts; a file refused is left as it was.
  std::shared_ptr<Storage> storage;
  if (!o.store.empty()) {
    try {
      storage = std::make_shared<SqliteStorage>(o.store);
    } catch (const StorageError& e) {
      return refuseStore(e);
    }
  }
  Broker broker(brokerConfig(o, storage, credentials));
  Pinger pinger(broker, std::chrono::milliseconds(static_cast<int64_t>(o.pingIntervalSeconds * 1000)));
  Periodic sweeper(kSweepInterval, [&broker] { broker.sweep(); });
  std::optional<StopDeadline> deadline;  // outlives the ORB below
  CallLog log(o.testControl);
  TestControl control(broker, pinger, log);
  ServantSettings settings;
  settings.testControl = o.testControl;
  settings.verbose = o.verbose;
  settings.callbackTimeoutMs = static_cast<uint32_t>(o.callbackTimeoutSeconds * 1000);
  settings.callbacksOverTlsOnly = tlsOnly(o);
  ProviderServant servant(broker, log, control, settings);
  try {
    OrbHolder holder(o, tls ? &*tls : nullptr);
    // Kept messages are read back through the ORB's marshalling.
    try {
      broker.restore();
    } catch (const StorageError& e) {
      pinger.stop();
      broker.shutdown();
      return refuseStore(e);
    }
    CORBA::Object_var rootObj = holder.orb()->resolve_initial_references("RootPOA");
    PortableServer::POA_var poa = PortableServer::POA::_narrow(rootObj);
    PortableServer::ObjectId_var oid = poa->activate_object(&servant);
    CORBA::Object_var ref = poa->id_to_reference(oid.in());
    PortableServer::POAManager_var manager = poa->the_POAManager();
    manager->activate();
    const std::string socketFile = unixSocketFile();

    for (const std::string& address : addressesOf(ref))
      std::cerr << "quorix-provider: listening on " << address << std::endl;
    CORBA::String_var ior = holder.orb()->object_to_string(ref);
    if (!o.iorFile.empty() && !writeAtomically(o.iorFile, ior.in())) {
      std::cerr << "quorix-provider: cannot write " << o.iorFile << std::endl;
      pinger.stop();
      broker.shutdown();
      return 1;
    }
    std::cout << ior.in() << std::endl;
    std::cerr << "ready" << std::endl;

    sigset_t set = stopSignals();
    int sig = 0;
    sigwait(&set, &sig);
    if (o.verbose) std::cerr << "quorix-provider: stopping on signal " << sig << std::endl;
    deadline.emplace(kStopGrace, socketFile);
    // Wake blocked receives and finish pushes before the ORB waits for calls.
    sweeper.stop();
    pinger.stop();
    broker.shutdown();
  } catch (const CORBA::Exception& e) {
    std::cerr << "quorix-provider: " << e._name() << std::endl;
    pinger.stop();
    broker.shutdown();
    return 1;
  }
  return 0;
}

}  // namespace quorix::provider
