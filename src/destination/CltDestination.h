#ifndef QJMS_DESTINATION_CLTDESTINATION_H
#define QJMS_DESTINATION_CLTDESTINATION_H

#include <jms/Types.h>

#include "destination/DestinationDefinition.h"
#include "idl/WireTypes.h"
#include "sys/Cbase.h"

namespace jms {

/// A destination kept in its wire form, so that it goes to the provider and into
/// a message header without conversion. Immutable once built.
class CltDestination : public Cbase {
public:
    ~CltDestination() override;

    /// The destination name.
    virtual WString getName() const;
    /// The held wire form itself (not a copy).
    virtual const wire::Destination& getIDLDestination() const;
    /// True when a driver definition is attached.
    virtual bool isDefined() const;

protected:
    /// `isDefinition` false: a plain name. True: a definition string; a string
    /// without "name=" is taken as a plain name, with the plain-name checks.
    CltDestination(bool isTopic, const WString& text, bool isDefinition);
    /// From definition parts; an empty driver makes it a plain name and the tags
    /// and values are then ignored.
    CltDestination(bool isTopic, const DestinationDefinition& parts);
    CltDestination(const CltDestination& other);
    CltDestination& operator=(const CltDestination&) = delete;

private:
    void makePlain(const WString& name);
    void makeDefined(const DestinationDefinition& def);

    wire::Destination dest_;
};

}  // namespace jms

#endif
