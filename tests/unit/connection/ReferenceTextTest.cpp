// Reading the provider's location: reference files and their names.
#include <cstdio>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <unistd.h>

#include <jms/JMSException.h>

#include "connection/ReferenceText.h"

namespace {

class ReferenceFile : public ::testing::Test {
protected:
    void SetUp() override {
        char dir[] = "/tmp/qjms-ref-XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        dir_ = dir;
    }
    void TearDown() override {
        for (const std::string& f : files_) std::remove(f.c_str());
        rmdir(dir_.c_str());
    }
    jms::WString write(const std::string& name, const std::string& content) {
        const std::string path = dir_ + "/" + name;
        std::ofstream(path) << content;
        files_.push_back(path);
        return jms::WString(path.begin(), path.end());
    }
    std::string dir_;
    std::vector<std::string> files_;
};

std::u16string messageOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const jms::JMSException& e) {
        EXPECT_EQ(e.toString(), e.getMessage()) << "no error code expected";
        return e.getMessage();
    }
    return u"<no exception>";
}

TEST_F(ReferenceFile, FirstWordOnly) {
    EXPECT_EQ(jms::readReferenceFile(write("a", "\n  IOR:0001ab  trailing words\nmore\n")),
              "IOR:0001ab");
}

TEST_F(ReferenceFile, WordLongerThanAnyFixedBuffer) {
    const std::string ior = "IOR:" + std::string(10000, 'f');
    EXPECT_EQ(jms::readReferenceFile(write("long", ior)), ior);
}

TEST_F(ReferenceFile, FailuresNameTheFile) {
    const jms::WString missing = jms::WString(dir_.begin(), dir_.end()) + u"/missing";
    EXPECT_EQ(messageOf([&] { jms::readReferenceFile(missing); }), u"Cannot open: " + missing);
    const jms::WString empty = write("empty", "");
    EXPECT_EQ(messageOf([&] { jms::readReferenceFile(empty); }), u"Cannot read: " + empty);
    const jms::WString blank = write("blank", " \n\t \n");
    EXPECT_EQ(messageOf([&] { jms::readReferenceFile(blank); }), u"Cannot read: " + blank);
    EXPECT_EQ(messageOf([] { jms::readReferenceFile(u""); }), u"Cannot open: ");
}

TEST_F(ReferenceFile, NonAsciiNameOpensThatFile) {
    // Keeping only low bytes would turn U+0141 into 'A' and open "A".
    write("A", "wrong");
    const std::string utf8Name = "\xc5\x81";  // U+0141
    const jms::WString path = write(utf8Name, "right");
    const jms::WString wide = path.substr(0, path.size() - 2) + u"\u0141";
    EXPECT_EQ(jms::readReferenceFile(wide), "right");
}

TEST_F(ReferenceFile, EmbeddedNulDoesNotOpenAShorterName) {
    const jms::WString path = write("x", "IOR:x");
    const jms::WString withNul = path + jms::WString(1, u'\0') + u"y";
    EXPECT_EQ(messageOf([&] { jms::readReferenceFile(withNul); }), u"Cannot open: " + withNul);
}

TEST(NarrowText, AsciiUnchangedOthersUtf8) {
    struct Case { std::u16string in; std::string out; };
    const Case cases[] = {
        {u"corbaloc::127.0.0.1:2809/x", "corbaloc::127.0.0.1:2809/x"},
        {u"", ""},
        {u"\u00e9", "\xc3\xa9"},
        {u"\u20ac", "\xe2\x82\xac"},
        {u"\U0001F600", "\xf0\x9f\x98\x80"},
        {std::u16string(1, char16_t(0xD800)), "\xed\xa0\x80"},  // lone surrogate kept distinct
    };
    for (const Case& c : cases) EXPECT_EQ(jms::toNarrowText(c.in), c.out);
}

}  // namespace
