// The jms exception family: texts, copies, linked exceptions, catching by base.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <type_traits>

#include <jms/JMSException.h>

namespace jms {
namespace {

struct Family {
    const char* name;
    // Throws the class made from (reason, errorCode), or from reason alone when
    // errorCode is null.
    std::function<void(const WString&, const WString*)> raise;
    // A copy of a caught instance, of the same dynamic type.
    std::function<std::unique_ptr<JMSException>(const JMSException&)> copy;
};

template <class E>
Family member(const char* name) {
    static_assert(std::is_base_of_v<JMSException, E>);
    static_assert(!std::is_copy_assignable_v<E>, "the family has no assignment");
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

const Family families[] = {
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

// Catches whatever `raise` throws as the family's base.
std::unique_ptr<JMSException> caught(const Family& f, const WString& reason, const WString* code) {
    try {
        f.raise(reason, code);
    } catch (const JMSException& e) {
        return f.copy(e);
    }
    return nullptr;
}

TEST(ExceptionFamily, EveryClassKeepsMessageAndErrorCodeApart) {
    const WString code = u"CltException::ERR_CONNECTION_CREATE";
    for (const auto& f : families) {
        SCOPED_TRACE(f.name);
        auto e = caught(f, u"svrStore: disk full", &code);
        ASSERT_TRUE(e) << "not caught as JMSException, or copy lost its type";
        EXPECT_EQ(e->getMessage(), u"svrStore: disk full");
        EXPECT_EQ(e->getErrorCode(), code);
        EXPECT_EQ(e->toString(), u"svrStore: disk fullCltException::ERR_CONNECTION_CREATE");
    }
}

TEST(ExceptionFamily, ReasonAloneHasEmptyErrorCodeAndToStringIsTheMessage) {
    for (const auto& f : families) {
        SCOPED_TRACE(f.name);
        auto e = caught(f, u"producerClosed", nullptr);
        ASSERT_TRUE(e);
        EXPECT_EQ(e->getErrorCode(), u"");
        EXPECT_EQ(e->toString(), e->getMessage());
        EXPECT_EQ(e->getMessage(), u"producerClosed");
    }
}

TEST(ExceptionFamily, TextsKeepEveryUnitIncludingBlanksAndSurrogates) {
    using namespace std::string_literals;
    const WString withNul = u"svrDestination  CltException.ERR_PRODUCER_CLOSED \U0001F600\0x"s;
    ASSERT_EQ(withNul.back(), u'x');
    for (const auto& f : families) {
        SCOPED_TRACE(f.name);
        auto e = caught(f, withNul, &withNul);
        ASSERT_TRUE(e);
        EXPECT_EQ(e->getMessage(), withNul);
        EXPECT_EQ(e->toString(), withNul + withNul);
    }
}

TEST(ExceptionFamily, CopiesAreIndependentOfTheOriginal) {
    const WString code = u"CltException::NONE";
    for (const auto& f : families) {
        SCOPED_TRACE(f.name);
        std::unique_ptr<JMSException> copy;
        {
            auto original = caught(f, u"svrBadArg: bad", &code);
            ASSERT_TRUE(original);
            copy = f.copy(*original);
        }  // the original is gone; the copy must not refer to it
        ASSERT_TRUE(copy);
        EXPECT_EQ(copy->toString(), u"svrBadArg: badCltException::NONE");
    }
}

TEST(ExceptionFamily, LinkedExceptionIsStoredNotOwnedAndCopied) {
    for (const auto& f : families) {
        SCOPED_TRACE(f.name);
        auto e = caught(f, u"x", nullptr);
        ASSERT_TRUE(e);
        EXPECT_EQ(e->getLinkedException(), nullptr);
        Exception linked;  // on the stack: deleting it through e would crash
        e->setLinkedException(&linked);
        EXPECT_EQ(e->getLinkedException(), &linked);
        auto copy = f.copy(*e);
        EXPECT_EQ(copy->getLinkedException(), &linked);
        e->setLinkedException(nullptr);
        EXPECT_EQ(e->getLinkedException(), nullptr);
        EXPECT_EQ(copy->getLinkedException(), &linked);
        copy->setLinkedException(nullptr);
    }
}

TEST(ExceptionFamily, NotImplementedDefaultsToTheRuntimeText) {
    try {
        throw NotImplementedException();
    } catch (const JMSException& e) {
        EXPECT_EQ(e.getMessage(), u"C++ runtime: not implemented");
        EXPECT_EQ(e.getErrorCode(), u"");
        EXPECT_EQ(e.toString(), u"C++ runtime: not implemented");
    }
    EXPECT_EQ(notImplementedWString, u"C++ runtime: not implemented");
    EXPECT_TRUE(emptyWString.empty());
}

TEST(ExceptionFamily, SubclassesAreNotCaughtAsEachOther) {
    try {
        throw MessageEOFException(u"EOF on message");
    } catch (const MessageFormatException&) {
        ADD_FAILURE() << "sibling class caught";
    } catch (const MessageEOFException& e) {
        EXPECT_EQ(e.getMessage(), u"EOF on message");
    }
}

TEST(OutsideTheFamily, NullPointerExceptionIsNotAJMSException) {
    static_assert(!std::is_base_of_v<JMSException, NullPointerException>);
    static_assert(std::is_empty_v<NullPointerException>);
    NullPointerException a;
    NullPointerException b;
    a = b;
    EXPECT_THROW(throw NullPointerException(), NullPointerException);
}

}  // namespace
}  // namespace jms
