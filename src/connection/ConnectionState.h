#ifndef QJMS_CONNECTION_CONNECTIONSTATE_H
#define QJMS_CONNECTION_CONNECTIONSTATE_H

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "connection/RegisteredSession.h"
#include "sys/Condition.h"
#include "sys/Mutex.h"

namespace jms {

/// What a connection shares with its sessions and consumers: the started and
/// closed flags with the start signal, and the session registry. Held through
/// a shared pointer, so a session or a receive that outlives its connection
/// (the caller deleted the connection first) still finds it closed instead of
/// freed memory.
class ConnectionState {
public:
    ConnectionState();
    ConnectionState(const ConnectionState&) = delete;
    ConnectionState& operator=(const ConnectionState&) = delete;

    bool started() const { return started_; }
    bool closed() const { return closed_; }
    /// The connection changes the flags under its own state lock, then
    /// broadcasts the change.
    void setStarted(bool started) { started_ = started; }
    void setClosed() { closed_ = true; }
    void broadcastStartSignal();

    enum class StartWait { Started, Closed, TimedOut };
    /// Blocks while the connection is stopped and open, giving up at
    /// `deadline` (wqClock microseconds; negative: never). Wakes at once on a
    /// broadcast and looks at the flags at least every 10 ms.
    StartWait waitUntilStarted(int64_t deadline);

    /// Registers a new session, dropping the closed ones first; a session that
    /// arrives after the connection closed is closed at once instead.
    void addSession(RegisteredSession* session);
    /// A session leaving: closed, or deleted. Unknown entries are ignored.
    void removeSession(RegisteredSession* session);
    /// Takes the sessions from the front one by one and closes each locally;
    /// returns them, for the caller to wait for their deliveries once it no
    /// longer holds the session lock.
    std::vector<std::shared_ptr<RegisteredSession>> closeSessions();
    /// Held while the connection shuts its listener down and closes its
    /// sessions, so that two closes do not interleave.
    RMutex& sessionLock() { return sessionLock_; }

private:
    std::atomic<bool> started_{false};
    std::atomic<bool> closed_{false};
    Mutex signalMutex_;
    Condition signal_;
    RMutex sessionLock_;
    std::vector<RegisteredSession*> sessions_;
};

}  // namespace jms

#endif
