// Names and repository IDs of the contract: they are how both ends recognise
// every type, exception and interface.
#include <string>
#include <type_traits>

#include "CdrSupport.h"

namespace {

using namespace jms;
using namespace qjmstest;

const std::string common = "IDL:zorvane/velt/quorix/corba/jmsCommon/";
const std::string server = "IDL:zorvane/velt/quorix/corba/jmsServer/";
const std::string client = "IDL:zorvane/velt/quorix/corba/jmsClient/";
const std::string notify = "IDL:zorvane/velt/admin/notify/";

TEST(RepositoryIds, EveryNamedType) {
    const struct {
        CORBA::TypeCode_ptr tc;
        std::string id;
    } types[] = {
#define C(n) {wire::_tc_##n, common + #n}
#define S(n) {wireServer::_tc_##n, server + #n}
#define K(n) {wireClient::_tc_##n, client + #n}
#define N(n) {wireNotify::_tc_##n, notify + #n}
        C(ResourceCode), C(ResultCode), C(StoreType), C(PriorityVal), C(AckMode), C(MsgType),
        C(PropType), C(ElemType), C(IDType), C(ExceptionCode), C(Strings), C(Bytes),
        C(ConnectionMetaData), C(StringU), C(PropU), C(PropElem), C(PropElems), C(ElemU),
        C(MapElem), C(MapElems), C(StreamElems), C(DefinedDestination), C(NullDefinedDest),
        C(Destination), C(DestinationU), C(MessageHeader), C(BytesMessage), C(TextMessage),
        C(MapMessage), C(StreamMessage), C(MsgUnion), C(JMSMsg), C(NullJMSMsg),
        C(ConnectionID), C(SessionID), C(UID), C(Sessions), C(Users), C(IDU),
        S(JMSMsgs), S(PropID), S(PropRequest), S(PropRequests), S(PropAck), S(PropAcks),
        S(RecvLog), S(Provider), K(ConnectionListener), K(MessageListener),
        N(AttrName), N(StringNullU), N(AttrValueU), N(Attribute), N(Attributes), N(AttrDn),
        N(ErrorCode), N(NotifyException), N(Notify),
#undef C
#undef S
#undef K
#undef N
    };
    for (const auto& t : types) EXPECT_EQ(t.tc->id(), t.id + ":1.0");
    static_assert(std::is_convertible_v<wireServer::Provider_ptr, wireNotify::Notify_ptr>);
    // Escaped IDL keywords keep their own names on the wire.
    EXPECT_STREQ(wire::_tc_MsgUnion->member_name(4), "object");
}

// Repository ID and member order: reason, code, then driverCode where present.
template <class... E>
void checkExceptions(TypeList<E...>) {
    const char* const names[] = {
        "StoreException", "BadStateException", "BusyException", "ConcurrencyException",
        "SessionIDException", "ConnectionIDException", "DestinationException",
        "ConsumerException", "BadArgException", "FullException", "ProducerException",
        "VersionException", "MessageException", "TransactionException", "PushException",
        "ResourceException", "SelectorException", "MessageLostException",
        "PropagationException", "SecException"};
    size_t i = 0;
    ([&] {
        SCOPED_TRACE(names[i]);
        EXPECT_EQ(E::_PD_repoId, common + names[i] + ":1.0");
        const bool driverCode = i == 0 || i == 13;  // StoreException, TransactionException
        EXPECT_EQ(HasDriverCode<E>::value, driverCode);
        Ref expected;
        expected.ws(L"why").l(3);
        if (driverCode) expected.l(4);
        EXPECT_EQ(encode(sampleException<E>()), Octets(expected));
        ++i;
    }(), ...);
}

TEST(RepositoryIds, ProviderExceptionsAndTheirMembers) {
    checkExceptions(ProviderExceptions());
    EXPECT_EQ(encode(sampleException<wireNotify::NotifyException>()),
              Octets(Ref().ws(L"why").l(3)));
}

}  // namespace
