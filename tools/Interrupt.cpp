#include "Interrupt.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "Status.h"

namespace qjms::cli {

namespace {

std::atomic<bool> signalled{false};

sigset_t interruptSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

}  // namespace

void catchInterrupts() {
    const sigset_t set = interruptSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    std::thread([set] {
        for (;;) {
            int sig = 0;
            if (sigwait(&set, &sig) != 0) continue;
            if (signalled.exchange(true)) _exit(kInterrupted);
        }
    }).detach();
}

bool interrupted() { return signalled.load(); }

void checkInterrupted() {
    if (interrupted()) throw Interrupted{};
}

}  // namespace qjms::cli
