#pragma once
// Typed message properties: parsed from NAME[:TYPE]=VALUE, set on a message,
// and read back with their types.
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include <jms/jms.h>

namespace qjms::cli {

// The alternatives are in the order of kPropertyTypes.
using PropertyValue =
    std::variant<bool, int8_t, int16_t, int32_t, int64_t, float, double, jms::WString>;
inline constexpr const char* kPropertyTypes[] = {"boolean", "byte",  "short",  "int",
                                                 "long",    "float", "double", "string"};

struct Property {
    jms::WString name;
    PropertyValue value;
    const char* typeName() const { return kPropertyTypes[value.index()]; }
};

// NAME=VALUE is a string; throws UsageError naming what does not parse.
Property parseProperty(const std::string& spec);
void setProperty(jms::Message& message, const Property& property);
// Every property of `message` in name order, each with the type it was set with.
std::vector<Property> readProperties(jms::Message& message);

}  // namespace qjms::cli
