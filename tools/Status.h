#pragma once
// Exit statuses and the failures that choose them.
#include <stdexcept>

namespace qjms::cli {

enum Status : int {
    kDone = 0,
    kJmsFailure = 1,     // a jms::JMSException, or perf found lost or duplicated messages
    kBadUsage = 2,       // bad usage or input; nothing was sent
    kTimedOut = 3,       // a receive ended by time-out before --count messages
    kInterrupted = 130,  // SIGINT or SIGTERM
    kOutputClosed = 141, // standard output closed under us, as a shell reports SIGPIPE
};

// Bad usage or input found before anything was sent.
struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Work stopped by SIGINT/SIGTERM after the connection was closed.
struct Interrupted {};

// Standard output went away (the reader of a pipe quit): stop taking messages.
struct OutputClosed {};

}  // namespace qjms::cli
