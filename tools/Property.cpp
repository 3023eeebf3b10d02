#include "Property.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "Status.h"
#include "Text.h"

namespace qjms::cli {

namespace {

template <class Int>
Int integer(const std::string& text, const std::string& spec) {
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(text.c_str(), &end, 10);
    if (text.empty() || *end || errno == ERANGE || value < std::numeric_limits<Int>::min() ||
        value > std::numeric_limits<Int>::max()) {
        throw UsageError("--property " + spec + ": not a number in the range of its type");
    }
    return Int(value);
}

template <class Real>
Real real(const std::string& text, const std::string& spec) {
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(text.c_str(), &end);
    const bool overflow = errno == ERANGE && std::isinf(value);
    const bool tooBig = std::isfinite(value) && std::fabs(value) > std::numeric_limits<Real>::max();
    if (text.empty() || *end || overflow || tooBig) {
        throw UsageError("--property " + spec + ": not a number in the range of its type");
    }
    return Real(value);
}

PropertyValue parseValue(const std::string& type, const std::string& text,
                         const std::string& spec) {
    if (type == "boolean") {
        if (text == "true") return true;
        if (text == "false") return false;
        throw UsageError("--property " + spec + ": a boolean is true or false");
    }
    if (type == "byte") return integer<int8_t>(text, spec);
    if (type == "short") return integer<int16_t>(text, spec);
    if (type == "int") return integer<int32_t>(text, spec);
    if (type == "long") return integer<int64_t>(text, spec);
    if (type == "float") return real<float>(text, spec);
    if (type == "double") return real<double>(text, spec);
    if (type == "string") {
        auto wide = fromUtf8(text);
        if (!wide) throw UsageError("--property " + spec + ": not valid UTF-8");
        return *wide;
    }
    throw UsageError("--property " + spec + ": unknown type '" + type +
                     "' (boolean, byte, short, int, long, float, double or string)");
}

}  // namespace

Property parseProperty(const std::string& spec) {
    const size_t equals = spec.find('=');
    if (equals == std::string::npos || equals == 0) {
        throw UsageError("--property " + spec + ": expected NAME[:TYPE]=VALUE");
    }
    std::string name = spec.substr(0, equals);
    std::string type = "string";
    if (const size_t colon = name.find(':'); colon != std::string::npos) {
        type = name.substr(colon + 1);
        name.resize(colon);
    }
    auto wideName = fromUtf8(name);
    if (name.empty() || !wideName) throw UsageError("--property " + spec + ": bad name");
    return Property{*wideName, parseValue(type, spec.substr(equals + 1), spec)};
}

void setProperty(jms::Message& m, const Property& p) {
    std::visit(
        [&](const auto& v) {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, bool>) m.setBooleanProperty(p.name, v);
            else if constexpr (std::is_same_v<T, int8_t>) m.setByteProperty(p.name, v);
            else if constexpr (std::is_same_v<T, int16_t>) m.setShortProperty(p.name, v);
            else if constexpr (std::is_same_v<T, int32_t>) m.setIntProperty(p.name, v);
            else if constexpr (std::is_same_v<T, int64_t>) m.setLongProperty(p.name, v);
            else if constexpr (std::is_same_v<T, float>) m.setFloatProperty(p.name, v);
            else if constexpr (std::is_same_v<T, double>) m.setDoubleProperty(p.name, v);
            else m.setStringProperty(p.name, v);
        },
        p.value);
}

std::vector<Property> readProperties(jms::Message& m) {
    // The getters convert nothing and throw for another type, so the type is
    // the one getter that answers.
    using Getter = PropertyValue (*)(jms::Message&, const jms::WString&);
    static constexpr Getter kGetters[] = {
        [](jms::Message& m, const jms::WString& n) -> PropertyValue { return m.getBooleanProperty(n); },
        [](jms::Message& m, const jms::WString& n) -> PropertyValue { return m.getByteProperty(n); },
        [](jms::Message& m, const jms::WString& n) -> PropertyValue { return m.getShortProperty(n); },
        [](jms::Message& m, const jms::WString& n) -> PropertyValue { return m.getIntProperty(n); },
        [](jms::Message& m, const jms::WString& n) -> PropertyValue { return m.getLongProperty(n); },
        [](jms::Message& m, const jms::WString& n) -> PropertyValue { return m.getFloatProperty(n); },
        [](jms::Message& m, const jms::WString& n) -> PropertyValue { return m.getDoubleProperty(n); },
        [](jms::Message& m, const jms::WString& n) -> PropertyValue { return m.getStringProperty(n); },
    };
    std::vector<Property> properties;
    for (const jms::WString& name : m.getPropertyNames()) {
        for (Getter get : kGetters) {
            try {
                properties.push_back(Property{name, get(m, name)});
                break;
            } catch (const jms::NullPointerException&) {
            }
        }
    }
    return properties;
}

}  // namespace qjms::cli
