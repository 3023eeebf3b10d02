#pragma once
// One side of the comparison: the bare stubs or the library, doing the same
// work against the same provider. Nothing here names CORBA or jms, so each
// side's code includes only what it measures.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace bench {

enum class Body { Text, Bytes };

struct Workload {
  Body body = Body::Bytes;
  size_t size = 0;  // characters for text, octets for bytes
};

class Client {
 public:
  virtual ~Client() = default;
  // The message every send carries from now on.
  virtual void prepare(const Workload& work) = 0;
  virtual void send() = 0;
  // False when no message was waiting.
  virtual bool receiveNoWait() = 0;
  virtual void receive() = 0;
  // Waits up to `ms`; false when nothing came.
  virtual bool receiveFor(int64_t ms) = 0;
  // A consumer with a listener takes `count` waiting messages; returns once
  // all arrived (false when they did not within `timeoutMs`).
  virtual bool pushed(uint64_t count, int64_t timeoutMs) = 0;
};

// `reference` is the provider's stringified reference, `queue` the queue this
// client uses alone.
std::unique_ptr<Client> makeRawClient(const std::string& reference, const std::string& queue);
std::unique_ptr<Client> makeLibraryClient(const std::string& referenceFile,
                                          const std::string& queue);

// The process's broker with the bench's endpoints; called before either
// side, so both share it (the library finds it already made).
void initBroker(bool unixTransport, int maxConnectionsPerServer);

}  // namespace bench
