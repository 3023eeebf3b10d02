#ifndef QJMS_MESSAGE_PROPERTYSTORE_H
#define QJMS_MESSAGE_PROPERTYSTORE_H

#include <map>

#include <jms/Types.h>

#include "message/PropertyValue.h"

namespace jms {

/// Named properties in code-unit order of their names. A name holds one value
/// for good: inserting a name that is present fails and keeps the old value.
class PropertyStore {
public:
    /// False (and nothing changed) when `name` is already present.
    bool insert(const WString& name, PropertyValue value) {
        return values_.try_emplace(name, std::move(value)).second;
    }
    const PropertyValue* find(const WString& name) const {
        auto it = values_.find(name);
        return it == values_.end() ? nullptr : &it->second;
    }
    bool contains(const WString& name) const { return values_.count(name) != 0; }
    void clear() { values_.clear(); }
    size_t size() const { return values_.size(); }

    WStringList names() const {
        WStringList list;
        list.reserve(values_.size());
        for (const auto& entry : values_) list.push_back(entry.first);
        return list;
    }

    auto begin() const { return values_.begin(); }
    auto end() const { return values_.end(); }

private:
    // std::u16string compares by char_traits<char16_t>: unsigned unit by unit.
    std::map<WString, PropertyValue> values_;
};

}  // namespace jms

#endif
