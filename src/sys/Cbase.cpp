#include "sys/Cbase.h"

namespace jms {

Cbase::Cbase() : mutex_(), rmutex_(), condition_(mutex_) {}
Cbase::Cbase(const Cbase&) : Cbase() {}
Cbase::~Cbase() = default;

}  // namespace jms
