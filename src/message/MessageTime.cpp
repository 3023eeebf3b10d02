#include "message/MessageTime.h"

#include <chrono>

namespace jms {

int64_t currentTimeMillis() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

}  // namespace jms
