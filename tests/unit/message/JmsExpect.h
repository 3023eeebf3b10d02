#ifndef QJMS_TESTS_JMSEXPECT_H
#define QJMS_TESTS_JMSEXPECT_H

#include <cstdio>
#include <string>
#include <typeinfo>

#include <gtest/gtest.h>
#include <jms/JMSException.h>

namespace qjmstest {

/// Readable form of wide text for failure output (non-ASCII as \uXXXX).
inline std::string narrow(const jms::WString& s) {
    std::string out;
    for (char16_t c : s) {
        char unit[8];
        snprintf(unit, sizeof unit, c >= 0x20 && c < 0x7f ? "%c" : "\\u%04x",
                 static_cast<unsigned>(c));
        out += unit;
    }
    return out;
}

/// Succeeds when `f` throws exactly E (not a subclass) with the message `text`
/// and no error code.
template <typename E, typename F>
::testing::AssertionResult throwsExactly(F&& f, const jms::WString& text) {
    try {
        f();
    } catch (const jms::JMSException& e) {
        if (typeid(e) == typeid(E) && e.getMessage() == text && e.getErrorCode().empty())
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure()
               << "threw " << typeid(e).name() << " \"" << narrow(e.getMessage()) << "\" code \""
               << narrow(e.getErrorCode()) << "\", expected \"" << narrow(text) << "\"";
    } catch (...) {
        return ::testing::AssertionFailure() << "threw something outside the JMSException family";
    }
    return ::testing::AssertionFailure() << "nothing thrown";
}

}  // namespace qjmstest

#define EXPECT_JMS_THROW(statement, Type, text) \
    EXPECT_TRUE(::qjmstest::throwsExactly<Type>([&] { statement; }, text))

#endif
