#ifndef QJMS_TEST_FAKEPROVIDER_H
#define QJMS_TEST_FAKEPROVIDER_H

// A scripted provider operation: each call raises the next scripted exception,
// or answers once the script is used up.

#include <cstdint>
#include <functional>
#include <vector>

#include "api/ProviderCall.h"

namespace jms::test {

/// Throws the provider exception of `kind` (a TRANSIENT system exception for
/// System) carrying `reason` and `code`.
[[noreturn]] void raiseProvider(pcall::Exc kind, const wchar_t* reason, int32_t code = 7);

/// Every exception kind, in declaration order.
std::vector<pcall::Exc> allKinds();

class FakeProvider {
public:
    void script(std::function<void()> thrower) { script_.push_back(std::move(thrower)); }
    void fail(pcall::Exc kind, const wchar_t* reason = L"because", int32_t code = 7, int times = 1);

    /// The provider operation: raises the next scripted failure or returns `answer`.
    int operation(int answer);
    int calls() const { return calls_; }

private:
    std::vector<std::function<void()>> script_;
    std::size_t next_ = 0;
    int calls_ = 0;
};

/// Replaces the retry pause with a recorder for its lifetime.
class RecordedPauses {
public:
    RecordedPauses();
    ~RecordedPauses();
    const std::vector<uint64_t>& pauses() const;

private:
    pcall::PauseFn previous_;
};

}  // namespace jms::test

#endif
