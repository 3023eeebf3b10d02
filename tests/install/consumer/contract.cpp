// Uses the installed wire contract next to the library, as a program that
// also speaks to a provider directly would; the broker's exceptions the
// library links come from the same contract.
#include <string>

#include <jms/jms.h>
#include <jmsCommon.hh>

int main() {
    namespace common = zorvane::velt::quorix::corba::jmsCommon;
    const jms::BrokerException linked(common::StoreException(L"full", 3, 0));
    const auto* original = common::StoreException::_downcast(&linked.getOriginal());
    return original && original->code == 3 && linked.getName() == u"StoreException" ? 0 : 1;
}
