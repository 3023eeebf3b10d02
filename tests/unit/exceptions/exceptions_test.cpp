// The jms exception family: texts, copies, linked exceptions, catching by type.
// (NotImplementedException's default text is checked where the bytes message uses it.)
#include <gtest/gtest.h>

#include <string>
#include <type_traits>

#include <jms/BrokerException.h>
#include <jms/JMSException.h>

#include <omniORB4/CORBA.h>

namespace jms {
namespace {

using namespace std::string_literals;

static_assert(!std::is_base_of_v<MessageFormatException, MessageEOFException>);
static_assert(!std::is_base_of_v<JMSException, NullPointerException>);

template <class E>
class ExceptionFamily : public ::testing::Test {};
using Members = ::testing::Types<
    JMSException, IllegalStateException, InvalidClientIDException, InvalidDestinationException,
    InvalidSelectorException, JMSSecurityException, MessageEOFException, MessageFormatException,
    MessageNotReadableException, MessageNotWriteableException, NoSuchElementException,
    NotImplementedException, ResourceAllocationException, TransactionInProgressException,
    TransactionRolledBackException>;
TYPED_TEST_SUITE(ExceptionFamily, Members);

// Thrown by copy and caught as the base, a member keeps its type; a copy of it
// keeps both texts and the linked exception. Every unit of the texts counts.
TYPED_TEST(ExceptionFamily, KeepsItsTypeTextsAndLinkedExceptionThroughCopies) {
    using E = TypeParam;
    static_assert(std::is_base_of_v<JMSException, E> && !std::is_copy_assignable_v<E>);
    const WString reason = u"svrDestination  CltException.ERR_PRODUCER_CLOSED \U0001F600\0x"s;
    const WString code = u"CltException::ERR_CONNECTION_CREATE";
    Exception linked;  // on the stack: a delete through the exception would crash
    try {
        E e(reason, code);
        e.setLinkedException(&linked);
        throw e;
    } catch (const JMSException& caught) {
        const E* exact = dynamic_cast<const E*>(&caught);
        ASSERT_NE(exact, nullptr) << "the type was lost";
        const E copy(*exact);
        EXPECT_EQ(copy.getMessage(), reason);
        EXPECT_EQ(copy.getErrorCode(), code);
        EXPECT_EQ(copy.toString(), reason + code);
        EXPECT_EQ(copy.getLinkedException(), &linked);
    }
    const E alone(u"producerClosed");
    EXPECT_EQ(alone.getErrorCode(), u"");
    EXPECT_EQ(alone.toString(), u"producerClosed");
    EXPECT_EQ(alone.getLinkedException(), nullptr);
}

struct Counted : Exception {
    static inline int alive = 0;
    Counted() { ++alive; }
    ~Counted() override { --alive; }
};

TEST(ExceptionFamily, AnAdoptedLinkedExceptionLivesAsLongAsTheLastCopy) {
    {
        auto first = std::make_unique<JMSException>(u"m");
        first->adoptLinkedException(std::make_shared<Counted>());
        Exception* linked = first->getLinkedException();
        const JMSException copy(*first);
        first.reset();
        EXPECT_EQ(copy.getLinkedException(), linked);
        EXPECT_EQ(Counted::alive, 1);
        JMSException relinked(copy);
        relinked.setLinkedException(nullptr);
        EXPECT_EQ(Counted::alive, 1) << "still owned, though no longer returned";
    }
    EXPECT_EQ(Counted::alive, 0);

    // A broker exception keeps its own copy of the CORBA exception.
    auto made = std::make_unique<BrokerException>(CORBA::TRANSIENT(3, CORBA::COMPLETED_MAYBE));
    const BrokerException copy(*made);
    made.reset();
    EXPECT_EQ(copy.getName(), u"TRANSIENT");
    EXPECT_EQ(copy.getRepositoryId(), u"IDL:omg.org/CORBA/TRANSIENT:1.0");
    EXPECT_EQ(CORBA::TRANSIENT::_downcast(&copy.getOriginal())->minor(), 3u);
}

}  // namespace
}  // namespace jms
