#include "message/PropertyWire.h"

#include <jms/JMSException.h>

#include "idl/WireText.h"

namespace jms {

namespace {

struct ToWire {
    wire::PropU& out;
    void operator()(bool v) const { out.propBoolean(v); }
    void operator()(int8_t v) const { out.propByte(static_cast<CORBA::Octet>(v)); }
    void operator()(int16_t v) const { out.propShort(v); }
    void operator()(int32_t v) const { out.propInt(v); }
    void operator()(int64_t v) const { out.propLong(v); }
    void operator()(float v) const { out.propFloat(v); }
    void operator()(double v) const { out.propDouble(v); }
    void operator()(const WString& v) const { out.propString(toCorbaWString(v)._retn()); }
};

}  // namespace

void propertyToWire(const PropertyValue& value, wire::PropU& out) { value.visit(ToWire{out}); }

PropertyValue propertyFromWire(const wire::PropU& in) {
    switch (in._d()) {
        case 1: return PropertyValue(static_cast<int8_t>(in.propByte()));
        case 2: return PropertyValue(static_cast<int16_t>(in.propShort()));
        case 3: return PropertyValue(static_cast<int32_t>(in.propInt()));
        case 4: return PropertyValue(static_cast<int64_t>(in.propLong()));
        case 5: return PropertyValue(in.propBoolean() != 0);
        case 6: return PropertyValue(static_cast<float>(in.propFloat()));
        case 7: return PropertyValue(static_cast<double>(in.propDouble()));
        case 8: return PropertyValue(toWString(in.propString()));
        default: throw JMSException(u"bad property element found");
    }
}

}  // namespace jms
