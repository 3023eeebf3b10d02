#ifndef QJMS_CONNECTION_CALLBOUNDS_H
#define QJMS_CONNECTION_CALLBOUNDS_H

#include <cstdint>

#include "idl/WireTypes.h"

namespace jms {

// How long provider calls may take. The library reads no setting of its own:
// omniORB's clientCallTimeOutPeriod bounds every ordinary call where it is set
// (none by default). Two kinds of call differ, through references of their own:
//  - closing (close of a connection, session, producer or consumer) never
//    waits longer than closeBoundMs, or the configured period where shorter,
//    so a hung provider cannot hang a shutdown;
//  - a receive waits as long as it was asked, plus the configured period:
//    without limit for receive(), the time-out plus the period for receive(t).
namespace callbounds {

/// The longest a close waits for a provider that does not answer.
constexpr uint32_t closeBoundMs = 10000;

/// omniORB's clientCallTimeOutPeriod in milliseconds; 0 when none is set.
uint32_t configuredMs();

/// The bound of a close: closeBoundMs, or the configured period where shorter.
uint32_t closeMs();

/// The bound of a receive waiting `waitMs` (negative: without limit); 0, no
/// bound, when no period is configured.
uint32_t receiveMs(int64_t waitMs);

/// A reference of its own to the same provider, whose calls wait at most
/// `ms` milliseconds.
wireServer::Provider_ptr boundedCopy(wireServer::Provider_ptr provider, uint32_t ms);

/// Changes the bound of a copy made by boundedCopy.
void setBound(wireServer::Provider_ptr copy, uint32_t ms);

}  // namespace callbounds

}  // namespace jms

#endif
