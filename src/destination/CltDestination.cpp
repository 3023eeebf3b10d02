#include "destination/CltDestination.h"

#include "idl/WireText.h"
#include "idl/WireValues.h"

namespace jms {

CltDestination::CltDestination(bool isTopic, const WString& text, bool isDefinition) {
    dest_.isTopic = isTopic;
    if (!isDefinition || !looksLikeDefinitionString(text)) {
        makePlain(text);
        return;
    }
    DestinationDefinition def = parseDefinitionString(text);
    checkDriverRules(def.driver, def.tags, isTopic);
    makeDefined(def);
}

CltDestination::CltDestination(bool isTopic, const DestinationDefinition& parts) {
    dest_.isTopic = isTopic;
    if (parts.driver.empty()) {
        makePlain(parts.name);
        return;
    }
    checkDefinitionParts(parts);
    checkDriverRules(parts.driver, parts.tags, isTopic);
    makeDefined(parts);
}

CltDestination::CltDestination(const CltDestination& other) : Cbase(other), dest_(other.dest_) {}

CltDestination::~CltDestination() = default;

void CltDestination::makePlain(const WString& name) {
    checkPlainDestinationName(name);
    dest_.destname = toCorbaWString(name);
    dest_.defined.nullValue(0);
}

void CltDestination::makeDefined(const DestinationDefinition& def) {
    wire::DefinedDestination defined;
    defined.driver_name = toCorbaWString(def.driver);
    defined.tags = toCorbaStrings(def.tags);
    defined.values = toCorbaStrings(def.values);
    dest_.destname = toCorbaWString(def.name);
    dest_.defined.dest(defined);
}

WString CltDestination::getName() const { return toWString(dest_.destname.in()); }

const wire::Destination& CltDestination::getIDLDestination() const { return dest_; }

bool CltDestination::isDefined() const { return dest_.defined._d(); }

}  // namespace jms
