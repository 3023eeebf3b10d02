#pragma once
// How messages are printed on standard output: readable, one JSON object per
// line, or bodies alone.
#include <cstdio>
#include <mutex>
#include <string>

#include "MessageRecord.h"

namespace qjms::cli {

enum class Format { Readable, Json, BodyOnly };

std::string readable(const MessageRecord& message);
// One line, newline included.
std::string jsonLine(const MessageRecord& message);
// Text and a newline; bytes raw, with nothing added.
std::string bodyOnly(const MessageRecord& message);
// "2026-12-06 17:43:09.123 UTC"
std::string utcTime(int64_t millis);

// Writes whole messages, one at a time, from any thread, and flushes each.
// Standard output may be a pipe whose reader quit (SIGPIPE is ignored under
// the ORB), so every write is checked.
class Printer {
public:
    explicit Printer(Format format) : format_(format) {}
    // False once standard output cannot be written.
    bool print(const MessageRecord& message);
    // Throws OutputClosed when a write failed.
    void check() const;

private:
    mutable std::mutex mutex_;
    Format format_;
    bool closed_ = false;
};

}  // namespace qjms::cli
