#pragma once
// Short text renderings of call arguments for test control's "last": a text
// in double quotes (with \" and \\ escaped), an absent value as null.
#include <string>

#include "server/Wire.h"

namespace quorix::provider::render {

std::u16string text(const CORBA::WChar* s);
std::u16string text(const wire::StringU& u);
std::u16string flag(bool b);
std::u16string number(int64_t n);
std::u16string id(const wire::ConnectionID& c);  // {cid=1 username="u" password=null}
std::u16string id(const wire::SessionID& s);     // {sid=2 cid=1}
std::u16string id(const wire::UID& u);           // {uid=3 sid=2 cid=1}
std::u16string destination(const wire::Destination& d);  // queue:"Q" or topic:"T"{driver=...}
std::u16string destination(const wire::DestinationU& d);
std::u16string metaData(const wire::ConnectionMetaData& m);
std::u16string message(const wire::JMSMsg& m);

}  // namespace quorix::provider::render
