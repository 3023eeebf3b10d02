// The jms exception family: texts, copies, linked exceptions, catching by type.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <type_traits>

#include <jms/BrokerException.h>
#include <jms/JMSException.h>

#include <omniORB4/CORBA.h>

namespace jms {
namespace {

using namespace std::string_literals;

// Throws an E made from (reason, code), or from reason alone when code is null,
// through its copy constructor; catches it as the base and returns a second copy
// made as E (null if the type was lost), which outlives the thrown one.
template <class E>
std::unique_ptr<JMSException> caughtAs(const WString& reason, const WString* code, Exception* linked) {
    static_assert(std::is_base_of_v<JMSException, E> && !std::is_copy_assignable_v<E>);
    try {
        E e = code ? E(reason, *code) : E(reason);
        if (linked) e.setLinkedException(linked);
        throw e;
    } catch (const JMSException& caught) {
        const E* exact = dynamic_cast<const E*>(&caught);
        return exact ? std::make_unique<E>(*exact) : nullptr;
    }
}

struct Member {
    const char* name;
    std::unique_ptr<JMSException> (*caught)(const WString&, const WString*, Exception*);
};
#define QJMS_MEMBER(E) Member{#E, caughtAs<E>}
const Member family[] = {
    QJMS_MEMBER(JMSException), QJMS_MEMBER(IllegalStateException),
    QJMS_MEMBER(InvalidClientIDException), QJMS_MEMBER(InvalidDestinationException),
    QJMS_MEMBER(InvalidSelectorException), QJMS_MEMBER(JMSSecurityException),
    QJMS_MEMBER(MessageEOFException), QJMS_MEMBER(MessageFormatException),
    QJMS_MEMBER(MessageNotReadableException), QJMS_MEMBER(MessageNotWriteableException),
    QJMS_MEMBER(NoSuchElementException), QJMS_MEMBER(NotImplementedException),
    QJMS_MEMBER(ResourceAllocationException), QJMS_MEMBER(TransactionInProgressException),
    QJMS_MEMBER(TransactionRolledBackException),
};
#undef QJMS_MEMBER

TEST(ExceptionFamily, EveryClassKeepsItsTypeTextsAndLinkedExceptionThroughCopies) {
    // Every unit counts: doubled blanks, a surrogate pair and an embedded NUL.
    const WString reason = u"svrDestination  CltException.ERR_PRODUCER_CLOSED \U0001F600\0x"s;
    const WString code = u"CltException::ERR_CONNECTION_CREATE";
    for (const Member& m : family) {
        SCOPED_TRACE(m.name);
        Exception linked;  // on the stack: a delete through the exception would crash
        auto e = m.caught(reason, &code, &linked);
        ASSERT_TRUE(e) << "not caught as JMSException, or a copy lost its type";
        EXPECT_EQ(e->getMessage(), reason);
        EXPECT_EQ(e->getErrorCode(), code);
        EXPECT_EQ(e->toString(), reason + code);
        EXPECT_EQ(e->getLinkedException(), &linked);
        e->setLinkedException(nullptr);
        EXPECT_EQ(e->getLinkedException(), nullptr);

        auto alone = m.caught(u"producerClosed", nullptr, nullptr);
        EXPECT_EQ(alone->getErrorCode(), u"");
        EXPECT_EQ(alone->toString(), u"producerClosed");
        EXPECT_EQ(alone->getLinkedException(), nullptr);
    }
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

TEST(ExceptionFamily, NotImplementedDefaultsToTheRuntimeTextAndOutsidersStayApart) {
    const NotImplementedException e;
    EXPECT_EQ(e.toString(), u"C++ runtime: not implemented");
    EXPECT_EQ(e.getErrorCode(), u"");
    static_assert(!std::is_base_of_v<MessageFormatException, MessageEOFException>);
    static_assert(!std::is_base_of_v<JMSException, NullPointerException>);
}

}  // namespace
}  // namespace jms
