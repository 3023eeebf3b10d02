#include "destination/DestinationDefinition.h"

#include <algorithm>

#include <jms/JMSException.h>

#include "destination/AsciiCase.h"

namespace jms {

namespace {

constexpr size_t maxPlainNameLength = 65535;

[[noreturn]] void refuse(const WString& text) { throw InvalidDestinationException(text); }

bool hasTag(const WStringList& tags, const WString& wanted) {
    return std::any_of(tags.begin(), tags.end(),
                       [&](const WString& t) { return equalsIgnoreAsciiCase(t, wanted); });
}

}  // namespace

void checkPlainDestinationName(const WString& name) {
    if (name.empty()) refuse(u"destination name is null");
    if (name.size() > maxPlainNameLength) refuse(u"destination name length must be <= 65535");
}

bool looksLikeDefinitionString(const WString& text) {
    return text.find(u"name=") != WString::npos;
}

DestinationDefinition parseDefinitionString(const WString& text) {
    WString name, driver, queue, manager;
    size_t start = 0;
    while (start < text.size()) {
        const size_t comma = text.find(u',', start);
        const size_t end = comma == WString::npos ? text.size() : comma;
        if (end > start) {
            const WString item = text.substr(start, end - start);
            const size_t eq = item.find(u'=');
            // A malformed item names the whole definition, so the caller sees what was wrong.
            if (eq == WString::npos || eq == 0) refuse(text);
            const WString key = item.substr(0, eq);
            WString value = item.substr(eq + 1);
            if (key == u"name") name = std::move(value);
            else if (key == u"driver") driver = std::move(value);
            else if (key == u"queue") queue = std::move(value);
            else if (key == u"manager") manager = std::move(value);
            else refuse(text);
        }
        start = comma == WString::npos ? text.size() : comma + 1;
    }
    if (name.empty() || driver.empty()) refuse(u"'name' and 'driver' must be defined");

    DestinationDefinition def{std::move(name), std::move(driver), {}, {}};
    if (!queue.empty()) {
        def.tags.push_back(u"queue");
        def.values.push_back(std::move(queue));
    }
    if (!manager.empty()) {
        def.tags.push_back(u"manager");
        def.values.push_back(std::move(manager));
    }
    return def;
}

void checkDefinitionParts(const DestinationDefinition& def) {
    if (def.name.empty() || def.tags.empty() || def.values.empty()) refuse(u"null arg");
    if (def.tags.size() != def.values.size()) refuse(u"length mismatch");
}

void checkDriverRules(const WString& driver, const WStringList& tags, bool isTopic) {
    const WString upper = toAsciiUpper(driver);
    if (upper == u"MQ") {
        if (isTopic) refuse(u"cannot define topic for mq driver");
        if (tags.size() != 2) refuse(u"must define 'manager' and 'queue'");
        if (!hasTag(tags, u"manager")) refuse(u"must define \"manager\"");
        if (!hasTag(tags, u"queue")) refuse(u"must define \"queue\"");
        return;
    }
    if (upper == u"YX") refuse(u"not supported for yx");
    if (upper == u"VOL") {
        if (!tags.empty()) refuse(u"can only define \"driver\" and \"name\"");
        return;
    }
    if (upper == u"RV") refuse(u"not supported for rv");
    if (upper == u"MCAST") refuse(u"not supported for mcast");
    refuse(u"\"driver\" definition not supported ->" + driver + u"<-");
}

}  // namespace jms
