#include "destination/QuorixDestination.h"

#include "destination/QuorixQueue.h"
#include "destination/QuorixTopic.h"
#include "idl/WireText.h"
#include "idl/WireValues.h"

namespace jms {

QuorixDestination::~QuorixDestination() = default;

std::unique_ptr<QuorixDestination> QuorixDestination::fromWire(const wire::Destination& dest) {
    const WString name = toWString(dest.destname.in());
    if (!dest.defined._d()) {
        if (dest.isTopic) return std::make_unique<QuorixTopic>(name, false);
        return std::make_unique<QuorixQueue>(name, false);
    }
    const wire::DefinedDestination& def = dest.defined.dest();
    const WString driver = toWString(def.driver_name.in());
    const WStringList tags = toWStringList(def.tags);
    const WStringList values = toWStringList(def.values);
    if (dest.isTopic) return std::make_unique<QuorixTopic>(name, driver, tags, values);
    return std::make_unique<QuorixQueue>(name, driver, tags, values);
}

}  // namespace jms
