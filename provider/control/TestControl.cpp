#include "control/TestControl.h"

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "core/Text.h"

namespace quorix::provider {
namespace {

bool isBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r'; }

// Splits off up to `max` words; the remainder (after blanks) stays in `rest`.
std::vector<std::u16string> words(std::u16string_view text, size_t max,
                                  std::u16string_view* rest = nullptr) {
  std::vector<std::u16string> out;
  size_t i = 0;
  while (out.size() < max) {
    while (i < text.size() && isBlank(text[i])) ++i;
    if (i == text.size()) break;
    size_t start = i;
    while (i < text.size() && !isBlank(text[i])) ++i;
    out.emplace_back(text.substr(start, i - start));
  }
  while (i < text.size() && isBlank(text[i])) ++i;
  if (rest) *rest = text.substr(i);
  return out;
}

[[noreturn]] void badArg(const std::u16string& why) { provider::fail(ErrorKind::BadArg, why); }

int64_t number(const std::u16string& word, const char* what) {
  std::string narrow = toUtf8(word);
  char* end = nullptr;
  errno = 0;
  long long v = std::strtoll(narrow.c_str(), &end, 10);
  if (narrow.empty() || *end != 0 || errno == ERANGE || v < INT32_MIN || v > INT32_MAX)
    badArg(u16(what) + u" is not a number: \"" + word + u"\"");
  return v;
}

const char16_t* kUsage =
    u"commands: fail, calls, reset, event, connections, ping, last, stats";

}  // namespace

std::u16string TestControl::execute(std::u16string_view command, std::u16string_view argument) {
  if (command == u"fail") return fail(argument);
  if (command == u"calls" || command == u"last") {
    auto w = words(argument, 2);
    if (w.size() != 1) badArg(u16(toUtf8(command)) + u" takes one operation name");
    std::string op = toUtf8(w[0]);
    if (!isProviderOperation(op)) badArg(u"unknown operation \"" + w[0] + u"\"");
    if (command == u"calls") return u16(int64_t(log_.calls(op)));
    return log_.last(op).value_or(u"none");
  }
  if (command == u"reset") {
    log_.reset();
    return u"ok";
  }
  if (command == u"event") return event(argument);
  if (command == u"connections") return connections();
  if (command == u"ping") return ping(argument);
  if (command == u"stats") return stats();
  badArg(u"unknown command \"" + std::u16string(command) + u"\"; " + kUsage);
}

// "OPERATION EXCEPTION [TIMES [CODE [REASON...]]]"
std::u16string TestControl::fail(std::u16string_view argument) {
  std::u16string_view rest;
  auto w = words(argument, 4, &rest);
  if (w.size() < 2) badArg(u"fail needs: OPERATION EXCEPTION [TIMES [CODE [REASON...]]]");
  std::string op = toUtf8(w[0]);
  if (!isProviderOperation(op)) badArg(u"unknown operation \"" + w[0] + u"\"");
  if (op == "admin") badArg(u"admin cannot be made to fail");
  Fault f;
  f.exception = toUtf8(w[1]);
  if (!errorKindFromName(f.exception) && !isSystemExceptionName(f.exception))
    badArg(u"unknown exception \"" + w[1] + u"\"");
  int64_t times = w.size() > 2 ? number(w[2], "TIMES") : 1;
  if (times < 1) badArg(u"TIMES must be at least 1");
  if (w.size() > 3) f.code = static_cast<int32_t>(number(w[3], "CODE"));
  if (!rest.empty()) f.reason = std::u16string(rest);
  log_.addFault(op, f, static_cast<int>(times));
  return u"ok";
}

// "CODE CID [SID [UID]]"
std::u16string TestControl::event(std::u16string_view argument) {
  auto w = words(argument, 5);
  if (w.size() < 2 || w.size() > 4) badArg(u"event needs: CODE CID [SID [UID]]");
  int32_t code = static_cast<int32_t>(number(w[0], "CODE"));
  int32_t cid = static_cast<int32_t>(number(w[1], "CID"));
  EventTarget target;
  target.connection = broker_.connectionKey(cid);
  if (w.size() > 2) target.session = broker_.sessionKey(cid, static_cast<int32_t>(number(w[2], "SID")));
  if (w.size() > 3)
    target.endpoint = broker_.endpointKey(cid, target.session->sid,
                                          static_cast<int32_t>(number(w[3], "UID")));
  for (const ConnectionInfo& info : broker_.connections()) {
    if (info.key.cid != cid) continue;
    if (!info.callbacks) return u"error";
    return info.callbacks->serverEvent(code, u"event " + u16(int64_t(code)), target) ? u"ok"
                                                                                     : u"error";
  }
  return u"error";
}

std::u16string TestControl::connections() const {
  std::u16string out;
  for (const ConnectionInfo& info : broker_.connections()) {
    if (!out.empty()) out += u"\n";
    out += u16(int64_t(info.key.cid)) + u" " + info.clientId;
  }
  return out;
}

std::u16string TestControl::ping(std::u16string_view argument) {
  auto w = words(argument, 2);
  if (w.size() != 1) badArg(u"ping needs: CID");
  switch (pinger_.pingNow(static_cast<int32_t>(number(w[0], "CID")))) {
    case PingResult::Alive: return u"true";
    case PingResult::Refused: return u"false";
    default: return u"error";
  }
}

std::u16string TestControl::stats() const {
  BrokerStats s = broker_.stats();
  auto n = [](size_t v) { return u16(int64_t(v)); };
  return u"connections=" + n(s.connections) + u" sessions=" + n(s.sessions) + u" consumers=" +
         n(s.consumers) + u" producers=" + n(s.producers) + u" messages=" + n(s.messages) +
         u" queues=" + n(s.queues) + u" topics=" + n(s.topics) +
         (broker_.config().storage ? u" storeWrites=" + u16(int64_t(broker_.storageWrites())) : u"");
}

}  // namespace quorix::provider
