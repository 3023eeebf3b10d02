// The jms exception family: texts, copies, linked exceptions, catching by type.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <type_traits>

#include <jms/JMSException.h>

namespace jms {
namespace {

using namespace std::string_literals;

// Per class: throw one made from (reason, code) or from reason alone (code
// null), and copy a caught one through its own copy constructor.
struct Member {
    const char* name;
    void (*raise)(const WString& reason, const WString* code);
    std::unique_ptr<JMSException> (*copy)(const JMSException&);
};

template <class E>
Member member(const char* name) {
    static_assert(std::is_base_of_v<JMSException, E> && !std::is_copy_assignable_v<E>);
    return {name,
            [](const WString& reason, const WString* code) {
                if (code) throw E(reason, *code);
                throw E(reason);
            },
            [](const JMSException& e) -> std::unique_ptr<JMSException> {
                const E* exact = dynamic_cast<const E*>(&e);
                return exact ? std::make_unique<E>(*exact) : nullptr;
            }};
}

const Member family[] = {
    member<JMSException>("JMSException"),
    member<IllegalStateException>("IllegalStateException"),
    member<InvalidClientIDException>("InvalidClientIDException"),
    member<InvalidDestinationException>("InvalidDestinationException"),
    member<InvalidSelectorException>("InvalidSelectorException"),
    member<JMSSecurityException>("JMSSecurityException"),
    member<MessageEOFException>("MessageEOFException"),
    member<MessageFormatException>("MessageFormatException"),
    member<MessageNotReadableException>("MessageNotReadableException"),
    member<MessageNotWriteableException>("MessageNotWriteableException"),
    member<NoSuchElementException>("NoSuchElementException"),
    member<NotImplementedException>("NotImplementedException"),
    member<ResourceAllocationException>("ResourceAllocationException"),
    member<TransactionInProgressException>("TransactionInProgressException"),
    member<TransactionRolledBackException>("TransactionRolledBackException"),
};

// Caught as the base, then copied as its own class (null if the type was lost).
std::unique_ptr<JMSException> caught(const Member& m, const WString& reason, const WString* code) {
    try {
        m.raise(reason, code);
    } catch (const JMSException& e) {
        return m.copy(e);
    }
    return nullptr;
}

TEST(ExceptionFamily, EveryClassKeepsMessageAndErrorCodeApartInItsCopies) {
    // Every unit counts: doubled blanks, a surrogate pair and an embedded NUL.
    const WString reason = u"svrDestination  CltException.ERR_PRODUCER_CLOSED \U0001F600\0x"s;
    const WString code = u"CltException::ERR_CONNECTION_CREATE";
    for (const auto& m : family) {
        SCOPED_TRACE(m.name);
        std::unique_ptr<JMSException> copy;
        {
            auto original = caught(m, reason, &code);
            ASSERT_TRUE(original) << "not caught as JMSException, or the copy lost its type";
            copy = m.copy(*original);
        }  // the copy must not refer to the original
        EXPECT_EQ(copy->getMessage(), reason);
        EXPECT_EQ(copy->getErrorCode(), code);
        EXPECT_EQ(copy->toString(), reason + code);

        auto alone = caught(m, u"producerClosed", nullptr);
        EXPECT_EQ(alone->getErrorCode(), u"");
        EXPECT_EQ(alone->toString(), u"producerClosed");
    }
}

TEST(ExceptionFamily, LinkedExceptionIsStoredNotOwnedAndTravelsWithCopies) {
    for (const auto& m : family) {
        SCOPED_TRACE(m.name);
        auto e = caught(m, u"x", nullptr);
        EXPECT_EQ(e->getLinkedException(), nullptr);
        Exception linked;  // on the stack: a delete through the exception would crash
        e->setLinkedException(&linked);
        EXPECT_EQ(e->getLinkedException(), &linked);
        auto copy = m.copy(*e);
        e->setLinkedException(nullptr);
        EXPECT_EQ(e->getLinkedException(), nullptr);
        EXPECT_EQ(copy->getLinkedException(), &linked);
        copy->setLinkedException(nullptr);
    }
}

TEST(ExceptionFamily, NotImplementedDefaultsToTheRuntimeText) {
    const NotImplementedException e;
    EXPECT_EQ(e.getMessage(), u"C++ runtime: not implemented");
    EXPECT_EQ(e.toString(), u"C++ runtime: not implemented");
    EXPECT_EQ(e.getErrorCode(), u"");
}

TEST(ExceptionFamily, SiblingsAndOutsidersAreNotCaughtAsEachOther) {
    try {
        throw MessageEOFException(u"EOF on message");
    } catch (const MessageFormatException&) {
        ADD_FAILURE() << "sibling class caught";
    } catch (const MessageEOFException& e) {
        EXPECT_EQ(e.getMessage(), u"EOF on message");
    }
    static_assert(!std::is_base_of_v<JMSException, NullPointerException>);
    static_assert(std::is_empty_v<NullPointerException>);
    EXPECT_THROW(throw NullPointerException(), NullPointerException);
}

}  // namespace
}  // namespace jms
