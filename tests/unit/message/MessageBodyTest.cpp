// Message bodies: the bytes message's modes and byte access, the text body.
#include <gtest/gtest.h>

#include <functional>
#include <utility>

#include "JmsExpect.h"
#include "message/CltBytesMessage.h"
#include "message/CltTextMessage.h"

using jms::ByteArray;
using jms::CltBytesMessage;

namespace {

const char16_t* const notReadable = u"message not in read mode";
const char16_t* const readOnly = u"message in read only mode";
const char16_t* const eof = u"EOF on message";

ByteArray readAll(CltBytesMessage& m) {
    ByteArray out;
    m.readBytes(out);
    return out;
}

// Write mode, then read mode after reset (which refuses writes and changes
// nothing), then write mode again after clearBody.
TEST(BytesMessage, ModesAndReadingToEof) {
    CltBytesMessage m;
    EXPECT_JMS_THROW(m.readByte(), jms::MessageNotReadableException, notReadable);
    m.writeByte(static_cast<int8_t>(200));
    m.writeBytes(ByteArray{1, 2, 3});
    m.reset();
    EXPECT_EQ(m.readByte(), -56);
    ByteArray out{9, 9, 9};
    EXPECT_EQ(m.readBytes(out, 2), 2);
    EXPECT_EQ(out, (ByteArray{1, 2}));
    EXPECT_EQ(m.readBytes(out, 10), 1);  // stops at the end
    EXPECT_JMS_THROW(m.readByte(), jms::MessageEOFException, eof);
    EXPECT_JMS_THROW(m.readUnsignedByte(), jms::MessageEOFException, eof);
    EXPECT_JMS_THROW(m.readBytes(out, 1), jms::MessageEOFException, eof);
    EXPECT_EQ(out, ByteArray{3});  // a failed read leaves the array alone
    EXPECT_JMS_THROW(m.writeByte(2), jms::MessageNotWriteableException, readOnly);
    EXPECT_JMS_THROW(m.writeBytes(ByteArray{2}), jms::MessageNotWriteableException, readOnly);
    EXPECT_JMS_THROW(m.writeBytes(ByteArray{2}, 0, 1), jms::MessageNotWriteableException, readOnly);

    m.reset();  // rewinds
    EXPECT_EQ(m.readUnsignedByte(), 200);
    EXPECT_EQ(m.readBytes(out, -5), 0);
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(readAll(m), (ByteArray{1, 2, 3}));

    m.clearBody();  // empty, and properties writable again
    EXPECT_JMS_THROW(m.readByte(), jms::MessageNotReadableException, notReadable);
    m.writeByte(3);
    m.setStringProperty(u"p", u"v");
    m.reset();
    EXPECT_EQ(readAll(m), ByteArray{3});

    CltBytesMessage empty(ByteArray{});  // read mode with nothing to read
    EXPECT_JMS_THROW(empty.readBytes(out, 0), jms::MessageEOFException, eof);
}

TEST(BytesMessage, WriteBytesTakesOnlyRangesInsideTheArray) {
    const ByteArray source{9, 8, 7, 6};
    CltBytesMessage m;
    const std::pair<int32_t, int32_t> inside[] = {{1, 2}, {4, 0}, {3, 1}}, outside[] = {
        {-1, 1}, {0, -1}, {5, 0}, {3, 2}, {INT32_MAX, 1}, {1, INT32_MAX}, {INT32_MIN, 0}};
    for (auto [offset, length] : inside) m.writeBytes(source, offset, length);
    for (auto [offset, length] : outside) {
        SCOPED_TRACE(std::to_string(offset) + "/" + std::to_string(length));
        EXPECT_JMS_THROW(m.writeBytes(source, offset, length), jms::JMSException,
                         u"badArg: offset/length outside the array");
    }
    m.reset();
    EXPECT_EQ(readAll(m), (ByteArray{8, 7, 6}));
}

// Every operation not offered fails with its own text in both modes and changes nothing.
TEST(BytesMessage, OperationsNotOffered) {
    using M = CltBytesMessage&;
    const char16_t* const nyi = u"C++ runtime: not implemented";
    const std::pair<const char16_t*, std::function<void(M)>> ops[] = {
        {u"CltBytesMessage::readBoolean", [](M m) { m.readBoolean(); }},
        {u"CltBytesMessage::readShort", [](M m) { m.readShort(); }},
        {u"CltBytesMessage::readUnsignedShor", [](M m) { m.readUnsignedShort(); }},
        {u"CltBytesMessage::readCha", [](M m) { m.readChar(); }},
        {u"CltBytesMessage::readInt", [](M m) { m.readInt(); }},
        {u"CltBytesMessage::readLong", [](M m) { m.readLong(); }},
        {u"CltBytesMessage::readFloat", [](M m) { m.readFloat(); }},
        {u"CltBytesMessage::readDouble", [](M m) { m.readDouble(); }},
        {u"CltBytesMessage::readUTF", [](M m) { m.readUTF(); }},
        {u"CltBytesMessage::writeBoolean", [](M m) { m.writeBoolean(true); }},
        {u"CltBytesMessage::writeShort", [](M m) { m.writeShort(1); }},
        {u"CltBytesMessage::writeChar", [](M m) { m.writeChar(u'c'); }},
        {u"CltBytesMessage::writeInt", [](M m) { m.writeInt(1); }},
        {u"CltBytesMessage::writeLong", [](M m) { m.writeLong(1); }},
        {u"CltBytesMessage::writeFloat", [](M m) { m.writeFloat(1); }},
        {u"CltBytesMessage::writeDouble", [](M m) { m.writeDouble(1); }},
        {u"CltBytesMessage::writeUTF", [](M m) { m.writeUTF(u"x"); }},
        {u"CltBytesMessage::writeObject", [](M m) { m.writeObject(nullptr); }},
        {nyi, [](M m) { m.getObjectProperty(u"a"); }},
        {nyi, [](M m) { m.setObjectProperty(u"a", nullptr); }},
        {nyi, [](M m) { m.acknowledge(); }},
    };
    for (bool readMode : {false, true}) {
        for (const auto& [text, op] : ops) {
            SCOPED_TRACE(qjmstest::narrow(text) + (readMode ? " in read mode" : " in write mode"));
            CltBytesMessage m;
            m.writeByte(42);
            if (readMode) m.reset();
            EXPECT_JMS_THROW(op(m), jms::NotImplementedException, text);
            m.reset();
            EXPECT_EQ(readAll(m), ByteArray{42});
        }
    }
}

// Clearing the body leaves the properties and the header alone.
TEST(TextMessage, ConstructionAndClearBody) {
    EXPECT_EQ(jms::CltTextMessage(static_cast<const char16_t*>(nullptr)).getText(), u"");
    jms::CltTextMessage m(u"body");
    m.setIntProperty(u"p", 1);
    m.setJMSType(u"t");
    m.clearBody();
    EXPECT_EQ(m.getText(), u"");
    EXPECT_EQ(m.getIntProperty(u"p"), 1);
    EXPECT_EQ(m.getJMSType(), u"t");
}

}  // namespace
