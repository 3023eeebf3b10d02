#ifndef QJMS_MESSAGE_CLTBYTESMESSAGE_H
#define QJMS_MESSAGE_CLTBYTESMESSAGE_H

#include <jms/BytesMessage.h>

#include "message/BytesBody.h"
#include "message/CltMessage.h"

namespace jms {

/// A message whose body is uninterpreted bytes. Write mode appends; reset()
/// enters read mode, which also makes the properties read-only; clearBody()
/// returns to write mode with an empty body. Only single bytes and byte arrays
/// carry data: every typed read and write throws NotImplementedException.
/// A failed operation changes nothing.
class CltBytesMessage : public CltMessage, public BytesMessage {
public:
    /// Empty, in write mode.
    CltBytesMessage();
    /// A copy of `body`, in read mode.
    explicit CltBytesMessage(const ByteArray& body);
    /// A received bytes message, in read mode; see CltMessageHeader for what it throws.
    CltBytesMessage(BytesBody body, const wire::MessageHeader& received,
                    std::shared_ptr<const QuorixDestination> destination);
    ~CltBytesMessage() override;

    bool readBoolean() override;
    int8_t readByte() override;
    int32_t readUnsignedByte() override;
    int16_t readShort() override;
    int32_t readUnsignedShort() override;
    char16_t readChar() override;
    int32_t readInt() override;
    int64_t readLong() override;
    float readFloat() override;
    double readDouble() override;
    WString readUTF() override;
    /// Up to `length` bytes (none for length <= 0); EOF only when nothing is left.
    int32_t readBytes(ByteArray& value, int32_t length) override;
    int32_t readBytes(ByteArray& value) override;

    void writeBoolean(bool value) override;
    void writeByte(int8_t value) override;
    void writeShort(int16_t value) override;
    void writeChar(char16_t value) override;
    void writeInt(int32_t value) override;
    void writeLong(int64_t value) override;
    void writeFloat(float value) override;
    void writeDouble(double value) override;
    void writeUTF(const WString& value) override;
    /// An `offset`/`length` pair that is negative or reaches past the array throws
    /// JMSException "badArg: offset/length outside the array".
    void writeBytes(const ByteArray& value, int32_t offset, int32_t length) override;
    void writeBytes(const ByteArray& value) override;
    void writeObject(Object* value) override;

    void reset() override;
    void clearBody() override;

protected:
    /// The whole body, whatever the mode and read position, lent to the wire.
    void prepareBody(wire::MsgUnion& body) override;
    const char16_t* headerFailureText() const override;

private:
    void checkReadable() const;
    void checkWritable() const;

    BytesBody body_;
    size_t position_ = 0;
    bool branchSet_ = false;  // the wire body holds the bytes branch
};

}  // namespace jms

#endif
