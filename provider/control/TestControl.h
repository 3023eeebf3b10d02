#pragma once
// The commands end-to-end tests send through Provider.admin. Answers are
// "ok", a number or a short text; a malformed command fails with BadArg.
#include <string>
#include <string_view>

#include "control/CallLog.h"
#include "core/Broker.h"
#include "core/Pinger.h"

namespace quorix::provider {

class TestControl {
 public:
  TestControl(Broker& broker, Pinger& pinger, CallLog& log)
      : broker_(broker), pinger_(pinger), log_(log) {}

  std::u16string execute(std::u16string_view command, std::u16string_view argument);

 private:
  std::u16string fail(std::u16string_view argument);
  std::u16string event(std::u16string_view argument);
  std::u16string connections() const;
  std::u16string ping(std::u16string_view argument);
  std::u16string stats() const;

  Broker& broker_;
  Pinger& pinger_;
  CallLog& log_;
};

}  // namespace quorix::provider
