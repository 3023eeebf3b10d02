#pragma once
// SIGINT and SIGTERM become a flag that the command loops poll between
// provider calls, so that they can close the connection themselves. A second
// signal ends the process at once.

namespace qjms::cli {

// Blocks both signals in every thread started later and hands them to a
// thread of its own. Call once, before the first connection.
void catchInterrupts();
bool interrupted();
// Throws Interrupted when a signal came.
void checkInterrupted();

}  // namespace qjms::cli
