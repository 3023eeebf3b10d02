#pragma once
// Threads that are joined when the crew goes, whatever happened.
#include <thread>
#include <utility>
#include <vector>

namespace qjms::cli {

class Crew {
public:
    Crew() = default;
    Crew(const Crew&) = delete;
    Crew& operator=(const Crew&) = delete;
    ~Crew() { join(); }

    template <class Work>
    void run(Work work) { threads_.emplace_back(std::move(work)); }
    void join() {
        for (std::thread& t : threads_)
            if (t.joinable()) t.join();
    }

private:
    std::vector<std::thread> threads_;
};

}  // namespace qjms::cli
