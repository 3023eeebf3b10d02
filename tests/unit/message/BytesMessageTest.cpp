#include <gtest/gtest.h>

#include <functional>

#include "JmsExpect.h"
#include "message/CltBytesMessage.h"

using jms::ByteArray;
using jms::CltBytesMessage;

namespace {

const char16_t* const notReadable = u"message not in read mode";
const char16_t* const notWritable = u"message in read only mode";

ByteArray readAll(CltBytesMessage& m) {
    ByteArray out;
    m.readBytes(out);
    return out;
}

TEST(BytesMessageModes, WriteResetReadEof) {
    CltBytesMessage m;
    EXPECT_JMS_THROW(m.readByte(), jms::MessageNotReadableException, notReadable);
    m.writeByte(5);
    m.writeBytes(ByteArray{1, 2, 3});
    m.reset();

    ByteArray out{9, 9, 9};
    EXPECT_EQ(m.readBytes(out, 2), 2);
    EXPECT_EQ(out, (ByteArray{5, 1}));
    EXPECT_EQ(m.readBytes(out), 2);
    EXPECT_EQ(out, (ByteArray{2, 3}));
    EXPECT_JMS_THROW(m.readByte(), jms::MessageEOFException, u"EOF on message");
    EXPECT_JMS_THROW(m.readUnsignedByte(), jms::MessageEOFException, u"EOF on message");

    // A failed read leaves the array as it was.
    EXPECT_JMS_THROW(m.readBytes(out, 1), jms::MessageEOFException, u"EOF on message");
    EXPECT_EQ(out, (ByteArray{2, 3}));

    m.reset();  // rewinds
    EXPECT_EQ(m.readByte(), 5);
}

TEST(BytesMessageModes, SignedAndUnsignedReads) {
    CltBytesMessage m;
    m.writeByte(static_cast<int8_t>(200));
    m.reset();
    EXPECT_EQ(m.readByte(), -56);
    m.reset();
    EXPECT_EQ(m.readUnsignedByte(), 200);
}

TEST(BytesMessageModes, ReadBytesLengths) {
    CltBytesMessage m(ByteArray{1, 2, 3});
    ByteArray out{7};
    EXPECT_EQ(m.readBytes(out, 0), 0);
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(m.readBytes(out, -5), 0);
    EXPECT_EQ(m.readBytes(out, 10), 3);  // stops at the end
    EXPECT_EQ(out, (ByteArray{1, 2, 3}));

    CltBytesMessage empty(ByteArray{});
    EXPECT_JMS_THROW(empty.readBytes(out), jms::MessageEOFException, u"EOF on message");
    EXPECT_JMS_THROW(empty.readBytes(out, 0), jms::MessageEOFException, u"EOF on message");
}

TEST(BytesMessageModes, ReadModeRefusesWritesUntilClearBody) {
    CltBytesMessage m;
    m.writeByte(1);
    m.reset();
    EXPECT_JMS_THROW(m.writeByte(2), jms::MessageNotWriteableException, notWritable);
    EXPECT_JMS_THROW(m.writeBytes(ByteArray{2}), jms::MessageNotWriteableException, notWritable);
    EXPECT_JMS_THROW(m.writeBytes(ByteArray{2}, 0, 1), jms::MessageNotWriteableException,
                     notWritable);
    EXPECT_JMS_THROW(m.setStringProperty(u"p", u"v"), jms::MessageNotWriteableException,
                     notWritable);
    EXPECT_EQ(readAll(m), (ByteArray{1}));

    m.clearBody();
    EXPECT_JMS_THROW(m.readByte(), jms::MessageNotReadableException, notReadable);
    m.writeByte(3);
    m.setStringProperty(u"p", u"v");
    m.reset();
    EXPECT_EQ(readAll(m), (ByteArray{3}));
}

TEST(BytesMessageModes, ConstructedFromArrayIsReadable) {
    CltBytesMessage m(ByteArray{4, 5});
    EXPECT_EQ(m.readUnsignedByte(), 4);
    EXPECT_JMS_THROW(m.writeByte(1), jms::MessageNotWriteableException, notWritable);
}

TEST(BytesMessageWriteBytes, OffsetAndLength) {
    CltBytesMessage m;
    const ByteArray source{9, 8, 7, 6};
    m.writeBytes(source, 1, 2);
    m.writeBytes(source, 4, 0);  // empty tail is fine
    m.writeBytes(source, 0, 0);
    m.writeBytes(source, 3, 1);
    m.reset();
    EXPECT_EQ(readAll(m), (ByteArray{8, 7, 6}));
}

TEST(BytesMessageWriteBytes, OutOfRangeChangesNothing) {
    const ByteArray source{9, 8, 7, 6};
    const struct {
        int32_t offset, length;
    } cases[] = {{-1, 1}, {0, -1}, {5, 0}, {0, 5}, {3, 2}, {INT32_MAX, 1},
                 {1, INT32_MAX}, {INT32_MIN, 0}, {2, INT32_MIN}};
    CltBytesMessage m;
    m.writeByte(1);
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.offset) + "/" + std::to_string(c.length));
        EXPECT_JMS_THROW(m.writeBytes(source, c.offset, c.length), jms::JMSException,
                         u"badArg: offset/length outside the array");
    }
    ByteArray empty;
    EXPECT_JMS_THROW(m.writeBytes(empty, 0, 1), jms::JMSException,
                     u"badArg: offset/length outside the array");
    m.reset();
    EXPECT_EQ(readAll(m), (ByteArray{1}));
}

// Every typed operation fails with its own text in both modes and changes nothing.
TEST(BytesMessageNotOffered, TypedOperationsInBothModes) {
    const std::pair<const char16_t*, std::function<void(CltBytesMessage&)>> ops[] = {
        {u"CltBytesMessage::readBoolean", [](CltBytesMessage& m) { m.readBoolean(); }},
        {u"CltBytesMessage::readShort", [](CltBytesMessage& m) { m.readShort(); }},
        {u"CltBytesMessage::readUnsignedShor", [](CltBytesMessage& m) { m.readUnsignedShort(); }},
        {u"CltBytesMessage::readCha", [](CltBytesMessage& m) { m.readChar(); }},
        {u"CltBytesMessage::readInt", [](CltBytesMessage& m) { m.readInt(); }},
        {u"CltBytesMessage::readLong", [](CltBytesMessage& m) { m.readLong(); }},
        {u"CltBytesMessage::readFloat", [](CltBytesMessage& m) { m.readFloat(); }},
        {u"CltBytesMessage::readDouble", [](CltBytesMessage& m) { m.readDouble(); }},
        {u"CltBytesMessage::readUTF", [](CltBytesMessage& m) { m.readUTF(); }},
        {u"CltBytesMessage::writeBoolean", [](CltBytesMessage& m) { m.writeBoolean(true); }},
        {u"CltBytesMessage::writeShort", [](CltBytesMessage& m) { m.writeShort(1); }},
        {u"CltBytesMessage::writeChar", [](CltBytesMessage& m) { m.writeChar(u'c'); }},
        {u"CltBytesMessage::writeInt", [](CltBytesMessage& m) { m.writeInt(1); }},
        {u"CltBytesMessage::writeLong", [](CltBytesMessage& m) { m.writeLong(1); }},
        {u"CltBytesMessage::writeFloat", [](CltBytesMessage& m) { m.writeFloat(1); }},
        {u"CltBytesMessage::writeDouble", [](CltBytesMessage& m) { m.writeDouble(1); }},
        {u"CltBytesMessage::writeUTF", [](CltBytesMessage& m) { m.writeUTF(u"x"); }},
        {u"CltBytesMessage::writeObject", [](CltBytesMessage& m) { m.writeObject(nullptr); }},
    };
    for (bool readMode : {false, true}) {
        for (const auto& [text, op] : ops) {
            SCOPED_TRACE(qjmstest::narrow(text) + (readMode ? " in read mode" : " in write mode"));
            CltBytesMessage m;
            m.writeByte(42);
            if (readMode) m.reset();
            EXPECT_JMS_THROW(op(m), jms::NotImplementedException, text);
            m.reset();
            EXPECT_EQ(readAll(m), (ByteArray{42}));
        }
    }
}

}  // namespace
