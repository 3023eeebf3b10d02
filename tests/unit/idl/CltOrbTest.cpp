// The process-wide broker. ctest runs each case in its own process, so the
// concurrency case really is the first use.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "connection/CltOrb.h"

namespace {

using jms::CltOrb;

TEST(CltOrb, ManyThreadsAtFirstUseShareOneBroker) {
    constexpr int threads = 16;
    std::atomic<int> ready{0};
    std::vector<const CltOrb*> seen(threads);
    std::vector<CORBA::ORB_ptr> orbs(threads);
    std::vector<std::thread> pool;
    for (int i = 0; i < threads; ++i) {
        pool.emplace_back([&, i] {
            ++ready;
            while (ready.load() < threads) std::this_thread::yield();
            seen[i] = &CltOrb::instance();
            orbs[i] = seen[i]->orb();
        });
    }
    for (auto& t : pool) t.join();
    for (int i = 0; i < threads; ++i) {
        EXPECT_EQ(seen[i], seen[0]);
        EXPECT_EQ(orbs[i], orbs[0]);
    }
    EXPECT_FALSE(CORBA::is_nil(seen[0]->orb()));
    EXPECT_FALSE(CORBA::is_nil(seen[0]->rootPOA()));
}

TEST(CltOrb, ResolvesReferencesAndActivatesTheManager) {
    CltOrb& orb = CltOrb::instance();
    orb.activatePOAManager();
    orb.activatePOAManager();  // again: no failure
    EXPECT_EQ(orb.rootPOA()->the_POAManager()->get_state(), PortableServer::POAManager::ACTIVE);

    CORBA::String_var nil = orb.orb()->object_to_string(CORBA::Object::_nil());
    EXPECT_TRUE(CORBA::is_nil(orb.stringToObject(nil.in())));
    EXPECT_THROW(orb.stringToObject("not a reference"), CORBA::BAD_PARAM);
    EXPECT_THROW(orb.stringToObject(""), CORBA::BAD_PARAM);
}

}  // namespace
