#include "message/CltBytesMessage.h"

#include <algorithm>

#include <jms/JMSException.h>


namespace jms {

namespace {

[[noreturn]] void notOffered(const char16_t* operation) {
    throw NotImplementedException(operation);
}

}  // namespace

CltBytesMessage::CltBytesMessage() = default;

CltBytesMessage::CltBytesMessage(const ByteArray& body)
    : body_(BytesBody::copyOf(body.data(), body.size())) {
    reset();
}

CltBytesMessage::CltBytesMessage(BytesBody body, const wire::MessageHeader& received,
                                 std::shared_ptr<const QuorixDestination> destination)
    : CltMessage(received, std::move(destination)), body_(std::move(body)) {
    reset();
}

CltBytesMessage::~CltBytesMessage() = default;

void CltBytesMessage::checkReadable() const {
    if (!readOnly()) throw MessageNotReadableException(u"message not in read mode");
    if (position_ >= body_.size()) throw MessageEOFException(u"EOF on message");
}

void CltBytesMessage::checkWritable() const {
    if (readOnly()) throw MessageNotWriteableException(u"message in read only mode");
}

// The texts are the library's established ones, truncations included.
bool CltBytesMessage::readBoolean() { notOffered(u"CltBytesMessage::readBoolean"); }
int16_t CltBytesMessage::readShort() { notOffered(u"CltBytesMessage::readShort"); }
int32_t CltBytesMessage::readUnsignedShort() { notOffered(u"CltBytesMessage::readUnsignedShor"); }
char16_t CltBytesMessage::readChar() { notOffered(u"CltBytesMessage::readCha"); }
int32_t CltBytesMessage::readInt() { notOffered(u"CltBytesMessage::readInt"); }
int64_t CltBytesMessage::readLong() { notOffered(u"CltBytesMessage::readLong"); }
float CltBytesMessage::readFloat() { notOffered(u"CltBytesMessage::readFloat"); }
double CltBytesMessage::readDouble() { notOffered(u"CltBytesMessage::readDouble"); }
WString CltBytesMessage::readUTF() { notOffered(u"CltBytesMessage::readUTF"); }
void CltBytesMessage::writeBoolean(bool) { notOffered(u"CltBytesMessage::writeBoolean"); }
void CltBytesMessage::writeShort(int16_t) { notOffered(u"CltBytesMessage::writeShort"); }
void CltBytesMessage::writeChar(char16_t) { notOffered(u"CltBytesMessage::writeChar"); }
void CltBytesMessage::writeInt(int32_t) { notOffered(u"CltBytesMessage::writeInt"); }
void CltBytesMessage::writeLong(int64_t) { notOffered(u"CltBytesMessage::writeLong"); }
void CltBytesMessage::writeFloat(float) { notOffered(u"CltBytesMessage::writeFloat"); }
void CltBytesMessage::writeDouble(double) { notOffered(u"CltBytesMessage::writeDouble"); }
void CltBytesMessage::writeUTF(const WString&) { notOffered(u"CltBytesMessage::writeUTF"); }
void CltBytesMessage::writeObject(Object*) { notOffered(u"CltBytesMessage::writeObject"); }

int8_t CltBytesMessage::readByte() {
    checkReadable();
    return static_cast<int8_t>(body_.data()[position_++]);
}

int32_t CltBytesMessage::readUnsignedByte() {
    checkReadable();
    return body_.data()[position_++];
}

int32_t CltBytesMessage::readBytes(ByteArray& value, int32_t length) {
    checkReadable();
    const size_t count =
        length <= 0 ? 0 : std::min(static_cast<size_t>(length), body_.size() - position_);
    const uint8_t* first = body_.data() + position_;
    value.assign(first, first + count);
    position_ += count;
    return static_cast<int32_t>(count);
}

int32_t CltBytesMessage::readBytes(ByteArray& value) {
    checkReadable();
    // The count is an int32_t: a body beyond 2 GiB is read in slices.
    return readBytes(value, INT32_MAX);
}

void CltBytesMessage::writeByte(int8_t value) {
    checkWritable();
    const auto byte = static_cast<uint8_t>(value);
    body_.append(&byte, 1);
}

void CltBytesMessage::writeBytes(const ByteArray& value, int32_t offset, int32_t length) {
    checkWritable();
    if (offset < 0 || length < 0 || static_cast<size_t>(offset) > value.size() ||
        static_cast<size_t>(length) > value.size() - static_cast<size_t>(offset))
        throw JMSException(u"badArg: offset/length outside the array");
    body_.append(value.data() + offset, static_cast<size_t>(length));
}

void CltBytesMessage::writeBytes(const ByteArray& value) {
    checkWritable();
    body_.append(value.data(), value.size());
}

void CltBytesMessage::reset() {
    setReadOnly(true);
    position_ = 0;
}

void CltBytesMessage::clearBody() {
    setReadOnly(false);
    body_.clear();
    position_ = 0;
}

void CltBytesMessage::prepareBody(wire::MsgUnion& body) {
    if (!branchSet_) {
        body.bytes(wire::BytesMessage());
        branchSet_ = true;
    }
    body_.lendTo(body.bytes().val);
}

const char16_t* CltBytesMessage::headerFailureText() const {
    return u"CltBytesMessage.getJMSMsg: failed to convert hdr";
}

}  // namespace jms
