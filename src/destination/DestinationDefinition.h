#ifndef QJMS_DESTINATION_DESTINATIONDEFINITION_H
#define QJMS_DESTINATION_DESTINATIONDEFINITION_H

#include <jms/Types.h>

namespace jms {

/// A destination defined by driver attributes: the name, the driver that carries
/// it and the attribute pairs (tags[i] names the value at values[i]).
struct DestinationDefinition {
    WString name;
    WString driver;
    WStringList tags;
    WStringList values;
};

/// Refuses a plain destination name that is empty or longer than 65535 units.
void checkPlainDestinationName(const WString& name);

/// True when `text` holds "name=" anywhere, which makes it a definition string.
bool looksLikeDefinitionString(const WString& text);

/// Parses "key=value" items separated by "," (keys name, driver, queue, manager,
/// matched exactly; empty items skipped; a later key overwrites an earlier one).
/// The pairs come out as ("queue", q) then ("manager", m), each only when set.
/// Does not apply the driver rules.
DestinationDefinition parseDefinitionString(const WString& text);

/// Refuses a definition from parts: empty name, tags or values, or tags and values
/// of different lengths. Does not apply the driver rules.
void checkDefinitionParts(const DestinationDefinition& def);

/// The per-driver rules; the driver and the tags compare without regard to case.
void checkDriverRules(const WString& driver, const WStringList& tags, bool isTopic);

}  // namespace jms

#endif
