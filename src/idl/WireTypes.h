#ifndef QJMS_IDL_WIRETYPES_H
#define QJMS_IDL_WIRETYPES_H

// The compiled wire contract and short names for its modules.
#include <jmsServer.hh>

namespace jms {

namespace wire = ::zorvane::velt::quorix::corba::jmsCommon;
namespace wireClient = ::zorvane::velt::quorix::corba::jmsClient;
namespace wireServer = ::zorvane::velt::quorix::corba::jmsServer;
namespace wireNotify = ::zorvane::velt::admin::notify;

}  // namespace jms

#endif
