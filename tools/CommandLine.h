#pragma once
// The command line: options, help texts and the dispatch to the commands.

namespace qjms::cli {

// Parses and runs; returns the exit status. Failures of the commands
// (UsageError, jms::JMSException, Interrupted) propagate.
int runCommandLine(int argc, char** argv);

}  // namespace qjms::cli
