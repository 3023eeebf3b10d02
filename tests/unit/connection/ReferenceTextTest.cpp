// Reading the provider's location: reference files and their names.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include <jms/JMSException.h>

#include "connection/ReferenceText.h"

namespace {

jms::WString wide(const std::string& s) { return jms::WString(s.begin(), s.end()); }

// The word read, or "!" and the failure's message (which has no error code).
std::string read(const jms::WString& file) {
    try {
        return jms::readReferenceFile(file);
    } catch (const jms::JMSException& e) {
        EXPECT_EQ(e.getErrorCode(), u"");
        const jms::WString message = e.getMessage();
        return "!" + std::string(message.begin(), message.end());
    }
}

class ReferenceFile : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(mkdtemp(dir_.data()), nullptr); }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    jms::WString write(const std::string& name, const std::string& content) {
        std::ofstream(dir_ + "/" + name) << content;
        return wide(dir_ + "/" + name);
    }
    std::string dir_ = "/tmp/qjms-ref-XXXXXX";
};

TEST_F(ReferenceFile, FirstWordWholeOrTheFailureNamingTheFile) {
    const std::string ior = "IOR:" + std::string(10000, 'f');  // longer than any fixed buffer
    EXPECT_EQ(read(write("a", "\n  IOR:01ab  trailing words\nmore\n")), "IOR:01ab");
    EXPECT_EQ(read(write("long", ior)), ior);
    EXPECT_EQ(read(wide(dir_ + "/missing")), "!Cannot open: " + dir_ + "/missing");
    EXPECT_EQ(read(write("empty", "")), "!Cannot read: " + dir_ + "/empty");
    EXPECT_EQ(read(write("blank", " \n\t \n")), "!Cannot read: " + dir_ + "/blank");
    EXPECT_EQ(read(u""), "!Cannot open: ");
}

TEST_F(ReferenceFile, NameIsNeverShortenedOrMangled) {
    // Keeping only low bytes would turn U+0141 into 'A' and open "A".
    write("A", "wrong");
    write("\xc5\x81", "right");
    EXPECT_EQ(read(wide(dir_ + "/") + u"\u0141"), "right");
    // A NUL would end the name early, at the file "A".
    const jms::WString withNul = wide(dir_ + "/A") + jms::WString(1, u'\0') + u"B";
    EXPECT_EQ(read(withNul).rfind("!Cannot open: ", 0), 0u);
}

}  // namespace
