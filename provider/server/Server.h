#pragma once
#include "server/Options.h"

namespace quorix::provider {

// Runs the server until SIGINT or SIGTERM; returns the process exit code.
// The caller must have blocked both signals in every thread (blockStopSignals)
// before any thread was started.
int runServer(const Options& options);
void blockStopSignals();

}  // namespace quorix::provider
