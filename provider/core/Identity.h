#pragma once
// Identifiers handed to clients. Each nests its parent's, and the user name
// and password of the connection travel inside every one of them.
#include <cstdint>
#include <string>

namespace quorix::provider {

struct ConnectionKey {
  int32_t cid = 0;
  std::u16string user;      // an absent text and an empty one are the same here
  std::u16string password;
};

struct SessionKey {
  int32_t sid = 0;
  ConnectionKey connection;
};

// A producer, consumer or browser.
struct EndpointKey {
  int32_t uid = 0;
  SessionKey session;
};

struct DestinationRef {
  std::u16string name;
  bool isTopic = false;
  bool defined = false;   // carries a driver definition
  std::u16string driver;  // meaningful when defined
};

}  // namespace quorix::provider
