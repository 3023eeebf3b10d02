#include "core/Broker.h"

#include <unistd.h>

#include <algorithm>

#include "core/Text.h"
#include "core/detail/Entities.h"
#include "core/detail/Unlocked.h"

namespace quorix::provider {

using detail::CloseReason;

int64_t systemNowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

namespace {
std::u16string hex(uint64_t v) {
  static const char digits[] = "0123456789abcdef";
  std::u16string out;
  do {
    out.insert(out.begin(), char16_t(digits[v & 15]));
    v >>= 4;
  } while (v);
  return out;
}
}  // namespace

Broker::Broker(BrokerConfig config) : config_(std::move(config)) {
  if (!config_.nowMs) config_.nowMs = systemNowMs;
  if (config_.storage) {
    if (!config_.codec) throw StorageError("a storage needs a payload codec");
    writer_ = std::make_unique<StorageWriter>(config_.storage, config_.groupCommit, config_.log);
  } else {
    restored_ = true;  // nothing to load
  }
  // Unique to this run: start time and process.
  runId_ = hex(static_cast<uint64_t>(systemNowMs())) + u"-" + hex(static_cast<uint64_t>(getpid()));
}

Broker::~Broker() { shutdown(); }

void Broker::shutdown() {
  Lock lock(mutex_);
  shutdown_ = true;
  while (!connections_.empty()) closeConnectionLocked(connections_.begin()->second, Closed::Shutdown);
  pushReady_.clear();
  pushDelayed_.clear();
  pushWork_.notify_all();
  pushSettled_.notify_all();
  // Joined as they end, so that one held up in a client's call leaves no
  // ended one unjoined while the process gives up on it.
  while (!pushThreads_.empty()) {
    pushSettled_.wait(lock, [this] { return !endedPushThreads_.empty(); });
    std::vector<std::thread> ended;
    for (std::thread::id id : endedPushThreads_) {
      auto it = std::find_if(pushThreads_.begin(), pushThreads_.end(),
                             [id](const std::thread& t) { return t.get_id() == id; });
      if (it == pushThreads_.end()) continue;
      ended.push_back(std::move(*it));
      pushThreads_.erase(it);
    }
    endedPushThreads_.clear();
    detail::Unlocked unlocked(lock);
    for (std::thread& t : ended) t.join();
  }
  // What the pushes acknowledged last is written before the process goes.
  if (writer_) {
    detail::Unlocked unlocked(lock);
    writer_->flush();
  }
}

void Broker::log(const std::u16string& text) const {
  if (config_.log) config_.log(text);
}

// ---- lookups -------------------------------------------------------------

void Broker::checkRunning() const {
  if (shutdown_) fail(ErrorKind::BadState, u"the server is shutting down");
}

detail::Connection& Broker::connectionFor(const ConnectionKey& key) const {
  checkRunning();
  auto it = connections_.find(key.cid);
  if (it == connections_.end())
    fail(ErrorKind::ConnectionID, u"unknown or closed connection " + u16(key.cid));
  const ConnectionKey& k = it->second->key;
  if (k.user != key.user || k.password != key.password)
    fail(ErrorKind::ConnectionID,
         u"user name or password does not match connection " + u16(key.cid));
  return *it->second;
}

const Broker::SessionPtr& Broker::sessionFor(const SessionKey& key) const {
  connectionFor(key.connection);
  auto it = sessions_.find(key.sid);
  if (it == sessions_.end() || it->second->key.connection.cid != key.connection.cid)
    fail(ErrorKind::SessionID, u"unknown or closed session " + u16(key.sid));
  return it->second;
}

detail::Producer& Broker::producerFor(const EndpointKey& key) const {
  const SessionPtr& s = sessionFor(key.session);
  auto it = s->producers.find(key.uid);
  if (it == s->producers.end())
    fail(ErrorKind::Producer, u"unknown or closed producer " + u16(key.uid));
  return *it->second;
}

const Broker::ConsumerPtr& Broker::consumerFor(const EndpointKey& key) const {
  const SessionPtr& s = sessionFor(key.session);
  auto it = s->consumers.find(key.uid);
  if (it == s->consumers.end())
    fail(ErrorKind::Consumer, u"unknown or closed consumer " + u16(key.uid));
  return it->second;
}

ConnectionKey Broker::connectionKey(int32_t cid) const {
  Lock lock(mutex_);
  checkRunning();
  auto it = connections_.find(cid);
  if (it == connections_.end()) fail(ErrorKind::ConnectionID, u"unknown connection " + u16(cid));
  return it->second->key;
}

SessionKey Broker::sessionKey(int32_t cid, int32_t sid) const {
  ConnectionKey ck = connectionKey(cid);
  Lock lock(mutex_);
  return sessionFor(SessionKey{sid, ck})->key;
}

EndpointKey Broker::endpointKey(int32_t cid, int32_t sid, int32_t uid) const {
  SessionKey sk = sessionKey(cid, sid);
  Lock lock(mutex_);
  const SessionPtr& s = sessionFor(sk);
  if (s->consumers.count(uid)) return s->consumers.at(uid)->key;
  if (s->producers.count(uid)) return s->producers.at(uid)->key;
  fail(ErrorKind::Consumer, u"unknown consumer or producer " + u16(uid));
}

std::vector<ConnectionInfo> Broker::connections() const {
  Lock lock(mutex_);
  std::vector<ConnectionInfo> out;
  for (auto& [cid, c] : connections_) out.push_back({c->key, c->clientId, c->callbacks});
  return out;
}

BrokerStats Broker::stats() const {
  Lock lock(mutex_);
  BrokerStats st;
  st.connections = connections_.size();
  st.sessions = sessions_.size();
  for (auto& [sid, s] : sessions_) {
    st.consumers += s->consumers.size();
    st.producers += s->producers.size();
  }
  for (auto& [name, q] : queues_) st.messages += q->store.size();
  for (auto& [name, t] : topics_)
    for (auto& [raw, sub] : t->subscriptions)
      if (auto live = sub.lock()) st.messages += live->store.size();
  st.queues = queues_.size();
  st.topics = topics_.size();
  return st;
}

// ---- connections ---------------------------------------------------------

bool Broker::clientIdTaken(const std::u16string& id, int32_t exceptCid) const {
  if (id.empty()) return false;
  for (auto& [cid, c] : connections_)
    if (cid != exceptCid && c->clientId == id) return true;
  return false;
}

void Broker::checkCredentials(const std::u16string& user, const std::u16string& password) const {
  if (config_.authenticate && !config_.authenticate(user, password))
    fail(ErrorKind::Sec, u"user name or password refused");
}

ConnectionKey Broker::connect(const ConnectRequest& r) {
  {
    Lock lock(mutex_);
    checkRunning();
    if (!restored_) fail(ErrorKind::BadState, u"the server has not loaded its store yet");
  }
  if (!equalsIgnoreCase(r.driver, config_.driver))
    fail(ErrorKind::BadArg, u"unknown driver \"" + r.driver + u"\", this server runs \"" +
                                config_.driver + u"\"");
  if (r.majorVersion != 1)
    fail(ErrorKind::Version, u"JMS version " + u16(r.majorVersion) + u" is not supported");
  checkCredentials(r.user, r.password);  // unlocked: a slow hash holds up no other client
  Lock lock(mutex_);
  checkRunning();
  if (clientIdTaken(r.clientId, 0))
    fail(ErrorKind::BadArg, u"client identifier \"" + r.clientId + u"\" is in use");
  auto c = std::make_shared<detail::Connection>();
  c->key = ConnectionKey{nextCid_++, r.user, r.password};
  c->clientId = r.clientId;
  c->callbacks = r.callbacks;
  connections_[c->key.cid] = c;
  return c->key;
}

void Broker::setClientId(const ConnectionKey& key, const std::u16string& clientId) {
  Lock lock(mutex_);
  detail::Connection& c = connectionFor(key);
  if (clientIdTaken(clientId, c.key.cid))
    fail(ErrorKind::BadArg, u"client identifier \"" + clientId + u"\" is in use");
  c.clientId = clientId;
}

void Broker::start(const ConnectionKey& key) {
  Lock lock(mutex_);
  detail::Connection& c = connectionFor(key);
  c.started = true;
  notifyConnection(c);
}

void Broker::stop(const ConnectionKey& key) {
  Lock lock(mutex_);
  connectionFor(key);
  ConnectionPtr c = connections_.at(key.cid);
  c->started = false;
  waitForPushes(lock, *c);
}

// No wait for a push under way, unlike stop: a listener may close its own
// connection inside onMessage, and waiting would wait for that very call. The
// close settles such a push as it settles the session's other messages, and a
// client closing from elsewhere waits for its own listeners before it calls.
void Broker::closeConnection(const ConnectionKey& key) {
  Lock lock(mutex_);
  closeConnectionLocked(connections_.at(connectionFor(key).key.cid), Closed::Connection);
}

// A client given up on gets no wait: its pushes settle when they fail.
bool Broker::dropConnection(int32_t cid) {
  Lock lock(mutex_);
  auto it = connections_.find(cid);
  if (it == connections_.end()) return false;
  closeConnectionLocked(it->second, Closed::Connection);
  return true;
}

// Waits for the pushes under way to the connection's sessions now; ones that
// start later (after another start) are not waited for.
void Broker::waitForPushes(Lock& lock, const detail::Connection& c) {
  std::vector<std::pair<SessionPtr, uint64_t>> underWay;
  for (auto& [sid, s] : c.sessions)
    if (s->pushing) underWay.emplace_back(s, s->pushesDone);
  pushSettled_.wait(lock, [&] {
    return shutdown_ || std::all_of(underWay.begin(), underWay.end(), [](auto& p) {
             return !p.first->pushing || p.first->pushesDone != p.second;
           });
  });
}

void Broker::closeConnectionLocked(const ConnectionPtr& c, Closed why) {
  ConnectionPtr keep = c;
  while (!keep->sessions.empty()) closeSessionLocked(keep->sessions.begin()->second, why);
  keep->started = false;
  connections_.erase(keep->key.cid);
}

void Broker::notifyConnection(detail::Connection& c) {
  for (auto& [sid, s] : c.sessions) {
    schedulePush(*s);
    for (auto& [uid, consumer] : s->consumers) consumer->cv.notify_all();
  }
}

// ---- sessions ------------------------------------------------------------

SessionKey Broker::createSession(const ConnectionKey& key, int32_t ackMode, bool transacted,
                                 std::shared_ptr<MessageSink> sink) {
  Lock lock(mutex_);
  detail::Connection& c = connectionFor(key);
  if (ackMode < 1 || ackMode > 4)
    fail(ErrorKind::BadArg, u"acknowledgement mode " + u16(ackMode) + u" is not 1 to 4");
  if (transacted && !config_.supportsTransactions)
    fail(ErrorKind::Transaction, u"this server does not support transacted sessions");
  auto s = std::make_shared<detail::Session>();
  s->key = SessionKey{nextSid_++, c.key};
  s->connection = &c;
  s->transacted = transacted;
  s->ackMode = ackMode;
  s->sink = std::move(sink);
  c.sessions[s->key.sid] = s;
  sessions_[s->key.sid] = s;
  return s->key;
}

// Not waiting for a push under way, which may be the very onMessage that
// closes its session: its message is settled by the rollback below.
void Broker::closeSession(const SessionKey& key) {
  Lock lock(mutex_);
  closeSessionLocked(sessionFor(key), Closed::Session);
}

void Broker::closeSessionLocked(const SessionPtr& sp, Closed why) {
  SessionPtr s = sp;  // the maps below may hold the last other references
  rollbackLocked(*s);
  while (!s->consumers.empty()) {
    closeConsumerLocked(*s->consumers.begin()->second, why);
  }
  s->producers.clear();
  s->open = false;
  if (s->connection) s->connection->sessions.erase(s->key.sid);
  s->connection = nullptr;
  sessions_.erase(s->key.sid);
}

void Broker::commit(const SessionKey& key) {
  Lock lock(mutex_);
  detail::Session& s = *sessionFor(key);
  if (!s.transacted) fail(ErrorKind::Transaction, u"session " + u16(s.key.sid) + u" is not transacted");
  // What it received goes in the same batch as what it sent, so that the
  // store sees all of the transaction or none of it.
  std::vector<StorageStep> steps;
  for (const detail::Received& r : s.received)
    if (keeps(*r.source, *r.entry.message))
      steps.push_back(step::DropEntry{r.source->storeKey, r.entry.seq});
  if (!steps.empty() || std::any_of(s.pendingSends.begin(), s.pendingSends.end(),
                                    [](auto& p) { return p.message->record != 0; }))
    checkStorage();
  std::vector<detail::PendingSend> sends;
  sends.swap(s.pendingSends);
  s.received.clear();
  Ticket t = deliver(lock, std::move(sends), std::move(steps));
  lock.unlock();
  awaitStored(t);
}

void Broker::rollback(const SessionKey& key) {
  Lock lock(mutex_);
  detail::Session& s = *sessionFor(key);
  if (!s.transacted) fail(ErrorKind::Transaction, u"session " + u16(s.key.sid) + u" is not transacted");
  rollbackLocked(s);
}

void Broker::rollbackLocked(detail::Session& s) {
  s.pendingSends.clear();
  std::vector<detail::Received> received;
  received.swap(s.received);
  for (auto& r : received) returnToSource(r.source, std::move(r.entry));
}

std::u16string Broker::nextMessageId() { return u"ID:" + runId_ + u"-" + u16(int64_t(nextMessage_++)); }

}  // namespace quorix::provider
