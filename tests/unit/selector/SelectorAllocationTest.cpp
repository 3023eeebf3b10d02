// Evaluation must not allocate: the provider runs it for every message a consumer looks at.
#include "FakeMessage.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

namespace {
thread_local bool counting = false;
thread_local size_t allocations = 0;

void* allocate(std::size_t size) {
  if (counting) {
    ++allocations;
  }
  if (void* p = std::malloc(size ? size : 1)) {
    return p;
  }
  throw std::bad_alloc();
}
}  // namespace

void* operator new(std::size_t size) { return allocate(size); }
void* operator new[](std::size_t size) { return allocate(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace quorix::selector::test {
namespace {

TEST(SelectorAllocation, EvaluationAllocatesNothing) {
  FakeMessage msg;
  msg.set(u"i", int64_t{10}).set(u"d", 2.5).set(u"s", u"a long enough string to leave SSO");
  msg.set(u"JMSType", u"car");
  const char16_t* selectors[] = {
      u"i = 10",
      u"JMSType = 'car' AND i > 5",
      u"s = 'a long enough string to leave SSO' OR nope IS NULL",
      u"i * d + 1 BETWEEN 20 AND 30",
      u"s LIKE 'a%string%SSO' AND s NOT LIKE '%!%%' ESCAPE '!'",
      u"JMSType IN ('bike', 'car', 'train', 'a string longer than the small buffer')",
      u"NOT (nope = 1) OR -i < 0",
  };
  for (const char16_t* text : selectors) {
    const auto selector = Selector::compile(text);
    counting = true;
    allocations = 0;
    const bool matched = selector->matches(msg);
    counting = false;
    EXPECT_EQ(allocations, 0u) << "selector " << (&text - selectors);
    EXPECT_TRUE(matched || std::u16string_view(text).substr(0, 3) == u"NOT");
  }
}

}  // namespace
}  // namespace quorix::selector::test
