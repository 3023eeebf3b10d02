// A client that takes a message inside a transaction and then waits to be
// killed: the end-to-end tests check that the server returns the message.
//   provider_e2e_crash_client IOR QUEUE
#include <unistd.h>

#include <iostream>

#include "ProviderControl.h"
#include "WireClient.h"

int main(int argc, char** argv) {
  using namespace qjms::test;
  using namespace qjms::test::wireclient;
  if (argc != 3) {
    std::cerr << "usage: provider_e2e_crash_client IOR QUEUE\n";
    return 2;
  }
  ProviderControl control(argv[1]);
  Connection c(control.provider(), "crash-client");
  wire::SessionID_var s = c.session(/*transacted=*/true);
  wire::UID_var r = control.provider()->createReceiver(destination(argv[2], false), s.in(),
                                                       text(std::nullopt));
  wire::JMSMsg_var m = control.provider()->consume(r.in());
  std::cout << "received " << bodyOf(m.in()) << std::endl;
  for (;;) pause();
}
