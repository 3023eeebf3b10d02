#ifndef JMS_BYTESMESSAGE_H
#define JMS_BYTESMESSAGE_H

#include <jms/Message.h>

namespace jms {

/// A message whose body is a stream of bytes, written in write mode and read
/// back after reset(). The library carries single bytes and byte arrays only;
/// its typed reads and writes throw NotImplementedException.
class JMS_API BytesMessage : public virtual Message {
public:
    BytesMessage() = default;
    BytesMessage(const BytesMessage&) = default;
    BytesMessage& operator=(const BytesMessage&) = default;
    ~BytesMessage() override;

    virtual bool readBoolean() = 0;
    virtual int8_t readByte() = 0;
    /// The next byte as 0..255.
    virtual int32_t readUnsignedByte() = 0;
    virtual int16_t readShort() = 0;
    virtual int32_t readUnsignedShort() = 0;
    virtual char16_t readChar() = 0;
    virtual int32_t readInt() = 0;
    virtual int64_t readLong() = 0;
    virtual float readFloat() = 0;
    virtual double readDouble() = 0;
    virtual WString readUTF() = 0;
    /// Replaces `value` with up to `length` next bytes; returns how many.
    virtual int32_t readBytes(ByteArray& value, int32_t length) = 0;
    /// Replaces `value` with the remaining bytes, but at most INT32_MAX of
    /// them, since the count is an int32_t: a larger body takes more calls.
    /// Returns how many.
    virtual int32_t readBytes(ByteArray& value) = 0;

    virtual void writeBoolean(bool value) = 0;
    virtual void writeByte(int8_t value) = 0;
    virtual void writeShort(int16_t value) = 0;
    virtual void writeChar(char16_t value) = 0;
    virtual void writeInt(int32_t value) = 0;
    virtual void writeLong(int64_t value) = 0;
    virtual void writeFloat(float value) = 0;
    virtual void writeDouble(double value) = 0;
    virtual void writeUTF(const WString& value) = 0;
    /// Appends `length` bytes of `value` starting at `offset`.
    virtual void writeBytes(const ByteArray& value, int32_t offset, int32_t length) = 0;
    virtual void writeBytes(const ByteArray& value) = 0;
    virtual void writeObject(Object* value) = 0;

    /// Enters read mode at the first byte (or rewinds in read mode).
    virtual void reset() = 0;
};

}  // namespace jms

#endif
