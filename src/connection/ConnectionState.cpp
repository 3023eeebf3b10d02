#include "connection/ConnectionState.h"

#include <algorithm>

#include "sys/wq.h"

namespace jms {

namespace {

// The longest a waiter sleeps between two looks at the flags.
constexpr int64_t startCycleMs = 10;

}  // namespace

ConnectionState::ConnectionState() : signal_(signalMutex_) {}

void ConnectionState::broadcastStartSignal() {
    MutexLock lock(signalMutex_);
    signal_.broadcast();
}

ConnectionState::StartWait ConnectionState::waitUntilStarted(int64_t deadline) {
    // The flags change before the broadcast, which takes the signal mutex;
    // reading them under that mutex before each wait means no broadcast is missed.
    MutexLock lock(signalMutex_);
    for (;;) {
        if (closed_) return StartWait::Closed;
        if (started_) return StartWait::Started;
        int64_t waitMs = startCycleMs;
        if (deadline >= 0) {
            const int64_t left = deadline - wqClock();
            if (left <= 0) return StartWait::TimedOut;
            waitMs = std::clamp<int64_t>((left + 999) / 1000, 1, startCycleMs);
        }
        try {
            signal_.wait(static_cast<uint32_t>(waitMs));
        } catch (const Condition::TimedOutException&) {
            // A cycle ended without news: look again.
        }
    }
}

void ConnectionState::addSession(RegisteredSession* session) {
    if (session == nullptr) return;
    MutexLock lock(sessionLock_);
    // Closed meanwhile on another thread: its close has drained the registry
    // already or is waiting for this lock; either way it must not miss this one.
    if (closed_) {
        session->closeFromConnection();
        return;
    }
    sessions_.erase(std::remove_if(sessions_.begin(), sessions_.end(),
                                   [](RegisteredSession* s) { return s->isClosed(); }),
                    sessions_.end());
    sessions_.push_back(session);
}

void ConnectionState::removeSession(RegisteredSession* session) {
    MutexLock lock(sessionLock_);
    sessions_.erase(std::remove(sessions_.begin(), sessions_.end(), session), sessions_.end());
}

std::vector<std::shared_ptr<RegisteredSession>> ConnectionState::closeSessions() {
    std::vector<std::shared_ptr<RegisteredSession>> closed;
    MutexLock lock(sessionLock_);
    while (!sessions_.empty()) {
        RegisteredSession* session = sessions_.front();
        sessions_.erase(sessions_.begin());
        session->closeFromConnection();
        closed.push_back(session->share());
    }
    return closed;
}

}  // namespace jms
