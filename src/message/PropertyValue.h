#ifndef QJMS_MESSAGE_PROPERTYVALUE_H
#define QJMS_MESSAGE_PROPERTYVALUE_H

#include <cstdint>
#include <type_traits>
#include <variant>

#include <jms/Types.h>

namespace jms {

/// The library's own property type codes (the wire numbers its branches otherwise).
enum class PropertyType : int32_t {
    Boolean = 0, Byte = 1, Short = 2, Int = 3, Long = 4, Float = 5, Double = 6, String = 7
};

/// One typed property value; a default value is the boolean false.
class PropertyValue {
public:
    // The alternatives stand in code order, so the index is the PropertyType.
    using Storage = std::variant<bool, int8_t, int16_t, int32_t, int64_t, float, double, WString>;

    PropertyValue() = default;
    template <typename T, typename = std::enable_if_t<!std::is_same_v<std::decay_t<T>, PropertyValue>>>
    explicit PropertyValue(T value) : value_(std::move(value)) {}

    PropertyType type() const { return static_cast<PropertyType>(value_.index()); }

    /// The value when it is stored as exactly T, else null.
    template <typename T>
    const T* get() const { return std::get_if<T>(&value_); }

    /// Calls `f` with the stored value as its own type.
    template <typename F>
    decltype(auto) visit(F&& f) const { return std::visit(std::forward<F>(f), value_); }

    bool operator==(const PropertyValue& other) const { return value_ == other.value_; }

private:
    Storage value_{false};
};

}  // namespace jms

#endif
