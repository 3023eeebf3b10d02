// A client that takes a message inside a transaction and then dies without a
// word, for the liveness tests:  provider_e2e_crash_client IOR QUEUE
#include <signal.h>

#include <iostream>

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
  raise(SIGKILL);
}
