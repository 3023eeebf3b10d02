#include "Outcomes.h"

#include <algorithm>

#include <omniORB4/CORBA.h>

namespace qjms::test {

namespace {

std::string ascii(const jms::WString& text) { return std::string(text.begin(), text.end()); }
jms::WString wide(const std::string& s) { return jms::WString(s.begin(), s.end()); }

}  // namespace

bool documentedLoss(const std::string& message) {
    static const char* const exact[] = {"SystemException", "SystemException: ",
                                        "BadStateException", "svrBadState: the server is shutting down",
                                        "consumerClosed", "producerClosed", "connectionClosed"};
    static const char* const prefixes[] = {"connectionClosed: ", "sessionClosed: "};
    if (std::find(std::begin(exact), std::end(exact), message) != std::end(exact)) return true;
    return std::any_of(std::begin(prefixes), std::end(prefixes),
                       [&](const char* p) { return message.rfind(p, 0) == 0; });
}

std::unique_ptr<jms::QueueConnection> connectTo(const ProviderProcess& provider) {
    jms::ImplDepFactory entry(wide(provider.iorFile()), u"vol", true, u"", 4, 0);
    std::unique_ptr<jms::QueueConnectionFactory> factory(entry.createQueueConnectionFactory());
    return std::unique_ptr<jms::QueueConnection>(factory->createQueueConnection());
}

std::string failureOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const jms::JMSException& e) {
        return ascii(e.getMessage());
    } catch (const CORBA::Exception& e) {
        return std::string("escaped CORBA ") + e._name();
    } catch (const std::exception& e) {
        return std::string("escaped std::exception ") + e.what();
    } catch (...) {
        return "escaped unknown exception";
    }
    return "";
}

bool Outcomes::run(int worker, const std::function<void()>& call) {
    const Clock::time_point start = Clock::now();
    const std::string failure = failureOf(call);
    const Clock::time_point end = Clock::now();
    std::lock_guard<std::mutex> lock(mutex_);
    ++summary_.calls;
    failedSinceLoss_.emplace(worker, false);
    if (!gone_) {
        if (!failure.empty()) summary_.before.push_back(failure);
        return failure.empty();
    }
    summary_.worstAfterLossMs =
        std::max(summary_.worstAfterLossMs, msBetween(std::max(start, goneAt_), end));
    if (failure.empty()) return true;
    failedSinceLoss_[worker] = true;
    if (summary_.failures[failure]++ == 0 && !documentedLoss(failure))
        summary_.undocumented.push_back(failure);
    return false;
}

void Outcomes::providerGone() {
    std::lock_guard<std::mutex> lock(mutex_);
    gone_ = true;
    goneAt_ = Clock::now();
}

Outcomes::Summary Outcomes::summary() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return summary_;
}

bool Outcomes::allFailedSinceLoss() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return std::all_of(failedSinceLoss_.begin(), failedSinceLoss_.end(),
                       [](const auto& w) { return w.second; });
}

}  // namespace qjms::test
