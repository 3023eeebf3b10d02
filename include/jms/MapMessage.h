#ifndef JMS_MAPMESSAGE_H
#define JMS_MAPMESSAGE_H

#include <jms/Message.h>

namespace jms {

/// A message whose body maps names to typed values. The library does not
/// create map messages; the interface is here for callers and other providers.
class JMS_API MapMessage : public virtual Message {
public:
    MapMessage() = default;
    MapMessage(const MapMessage&) = default;
    MapMessage& operator=(const MapMessage&) = default;
    ~MapMessage() override;

    virtual bool getBoolean(const WString& name) = 0;
    virtual int8_t getByte(const WString& name) = 0;
    virtual int16_t getShort(const WString& name) = 0;
    virtual char16_t getChar(const WString& name) = 0;
    virtual int32_t getInt(const WString& name) = 0;
    virtual int64_t getLong(const WString& name) = 0;
    virtual float getFloat(const WString& name) = 0;
    virtual double getDouble(const WString& name) = 0;
    virtual WString getString(const WString& name) = 0;
    virtual ByteArray getBytes(const WString& name) = 0;
    /// Not owned by the caller.
    virtual Object* getObject(const WString& name) = 0;
    virtual WStringList getMapNames() = 0;

    virtual void setBoolean(const WString& name, bool value) = 0;
    virtual void setByte(const WString& name, int8_t value) = 0;
    virtual void setShort(const WString& name, int16_t value) = 0;
    virtual void setChar(const WString& name, char16_t value) = 0;
    virtual void setInt(const WString& name, int32_t value) = 0;
    virtual void setLong(const WString& name, int64_t value) = 0;
    virtual void setFloat(const WString& name, float value) = 0;
    virtual void setDouble(const WString& name, double value) = 0;
    virtual void setString(const WString& name, const WString& value) = 0;
    /// Stores `length` bytes of `value` starting at `offset`.
    virtual void setBytes(const WString& name, const ByteArray& value, int32_t offset,
                          int32_t length) = 0;
    virtual void setBytes(const WString& name, const ByteArray& value) = 0;
    virtual void setObject(const WString& name, Object* value) = 0;

    virtual bool itemExists(const WString& name) = 0;
};

}  // namespace jms

#endif
