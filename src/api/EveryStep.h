#ifndef QJMS_API_EVERYSTEP_H
#define QJMS_API_EVERYSTEP_H

#include <exception>
#include <utility>

namespace jms {

// Runs clean-up steps so that one failing step does not leave the later
// ones undone; the first failure is kept for rethrowing, unchanged.
class EveryStep {
public:
    template <class Step>
    void run(Step&& step) {
        try {
            std::forward<Step>(step)();
        } catch (...) {
            if (!first_) first_ = std::current_exception();
        }
    }

    void rethrowFirst() const {
        if (first_) std::rethrow_exception(first_);
    }

private:
    std::exception_ptr first_;
};

}  // namespace jms

#endif
