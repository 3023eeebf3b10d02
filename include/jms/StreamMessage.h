#ifndef JMS_STREAMMESSAGE_H
#define JMS_STREAMMESSAGE_H

#include <jms/Message.h>

namespace jms {

/// A message whose body is a stream of typed values. The library does not
/// create stream messages; the interface is here for callers and other providers.
class JMS_API StreamMessage : public virtual Message {
public:
    StreamMessage() = default;
    StreamMessage(const StreamMessage&) = default;
    StreamMessage& operator=(const StreamMessage&) = default;
    ~StreamMessage() override;

    virtual bool readBoolean() = 0;
    virtual int8_t readByte() = 0;
    virtual int16_t readShort() = 0;
    virtual char16_t readChar() = 0;
    virtual int32_t readInt() = 0;
    virtual int64_t readLong() = 0;
    virtual float readFloat() = 0;
    virtual double readDouble() = 0;
    virtual WString readString() = 0;
    /// Replaces `value` with the next byte-array field; returns its length.
    virtual int32_t readBytes(ByteArray& value) = 0;
    /// Not owned by the caller.
    virtual Object* readObject() = 0;

    virtual void writeBoolean(bool value) = 0;
    virtual void writeByte(int8_t value) = 0;
    virtual void writeShort(int16_t value) = 0;
    virtual void writeChar(char16_t value) = 0;
    virtual void writeInt(int32_t value) = 0;
    virtual void writeLong(int64_t value) = 0;
    virtual void writeFloat(float value) = 0;
    virtual void writeDouble(double value) = 0;
    virtual void writeString(const WString& value) = 0;
    /// Writes `length` bytes of `value` starting at `offset` as one field.
    virtual void writeBytes(const ByteArray& value, int32_t offset, int32_t length) = 0;
    virtual void writeBytes(const ByteArray& value) = 0;
    virtual void writeObject(Object* value) = 0;

    /// Enters read mode at the first field.
    virtual void reset() = 0;
};

}  // namespace jms

#endif
