// Names and repository IDs of the contract: they are how both ends recognise
// every type, exception and interface.
#include <cstring>
#include <string>
#include <type_traits>

#include "CdrSupport.h"

namespace {

using namespace jms;
using qjmstest::encode;
using qjmstest::HasDriverCode;
using qjmstest::Ref;

const std::string common = "IDL:zorvane/velt/quorix/corba/jmsCommon/";
const std::string server = "IDL:zorvane/velt/quorix/corba/jmsServer/";
const std::string client = "IDL:zorvane/velt/quorix/corba/jmsClient/";
const std::string notify = "IDL:zorvane/velt/admin/notify/";

struct Named {
    CORBA::TypeCode_ptr tc;
    std::string prefix;
    const char* name;
};

TEST(RepositoryIds, EveryNamedTypeHasItsModulePathAndName) {
#define COMMON(n) Named{wire::_tc_##n, common, #n}
    const Named types[] = {
        COMMON(ResourceCode), COMMON(ResultCode), COMMON(StoreType), COMMON(PriorityVal),
        COMMON(AckMode), COMMON(MsgType), COMMON(PropType), COMMON(ElemType), COMMON(IDType),
        COMMON(ExceptionCode), COMMON(Strings), COMMON(Bytes), COMMON(ConnectionMetaData),
        COMMON(StringU), COMMON(PropU), COMMON(PropElem), COMMON(PropElems), COMMON(ElemU),
        COMMON(MapElem), COMMON(MapElems), COMMON(StreamElems), COMMON(DefinedDestination),
        COMMON(NullDefinedDest), COMMON(Destination), COMMON(DestinationU), COMMON(MessageHeader),
        COMMON(BytesMessage), COMMON(TextMessage), COMMON(MapMessage), COMMON(StreamMessage),
        COMMON(MsgUnion), COMMON(JMSMsg), COMMON(NullJMSMsg), COMMON(ConnectionID),
        COMMON(SessionID), COMMON(UID), COMMON(Sessions), COMMON(Users), COMMON(IDU),
#undef COMMON
        {wireServer::_tc_JMSMsgs, server, "JMSMsgs"}, {wireServer::_tc_PropID, server, "PropID"},
        {wireServer::_tc_PropRequest, server, "PropRequest"},
        {wireServer::_tc_PropRequests, server, "PropRequests"},
        {wireServer::_tc_PropAck, server, "PropAck"}, {wireServer::_tc_PropAcks, server, "PropAcks"},
        {wireServer::_tc_RecvLog, server, "RecvLog"}, {wireServer::_tc_Provider, server, "Provider"},
        {wireClient::_tc_ConnectionListener, client, "ConnectionListener"},
        {wireClient::_tc_MessageListener, client, "MessageListener"},
        {wireNotify::_tc_AttrName, notify, "AttrName"},
        {wireNotify::_tc_StringNullU, notify, "StringNullU"},
        {wireNotify::_tc_AttrValueU, notify, "AttrValueU"},
        {wireNotify::_tc_Attribute, notify, "Attribute"},
        {wireNotify::_tc_Attributes, notify, "Attributes"},
        {wireNotify::_tc_AttrDn, notify, "AttrDn"}, {wireNotify::_tc_ErrorCode, notify, "ErrorCode"},
        {wireNotify::_tc_NotifyException, notify, "NotifyException"},
        {wireNotify::_tc_Notify, notify, "Notify"},
    };
    for (const Named& t : types) {
        EXPECT_EQ(std::string(t.tc->id()), t.prefix + t.name + ":1.0");
        EXPECT_STREQ(t.tc->name(), t.name);
    }
}

TEST(RepositoryIds, InterfacesAndInheritance) {
    EXPECT_STREQ(wireServer::Provider::_PD_repoId,
                 "IDL:zorvane/velt/quorix/corba/jmsServer/Provider:1.0");
    EXPECT_STREQ(wireClient::ConnectionListener::_PD_repoId,
                 "IDL:zorvane/velt/quorix/corba/jmsClient/ConnectionListener:1.0");
    EXPECT_STREQ(wireClient::MessageListener::_PD_repoId,
                 "IDL:zorvane/velt/quorix/corba/jmsClient/MessageListener:1.0");
    EXPECT_STREQ(wireNotify::Notify::_PD_repoId, "IDL:zorvane/velt/admin/notify/Notify:1.0");
    static_assert(std::is_convertible_v<wireServer::Provider_ptr, wireNotify::Notify_ptr>);
    // The escaped IDL keywords keep their own names on the wire.
    EXPECT_STREQ(wire::_tc_MsgUnion->member_name(4), "object");
}

// Repository ID and member order: reason, code, then driverCode where present.
template <class E>
void checkException(const char* name, bool driverCode) {
    SCOPED_TRACE(name);
    EXPECT_EQ(std::string(E::_PD_repoId), common + name + ":1.0");
    ASSERT_EQ(HasDriverCode<E>::value, driverCode);
    E e;
    e.reason = L"why";
    e.code = 3;
    Ref expected;
    expected.ws(L"why").l(3);
    if constexpr (HasDriverCode<E>::value) {
        e.driverCode = 4;
        expected.l(4);
    }
    EXPECT_EQ(encode(e), expected.out());
}

TEST(RepositoryIds, TheTwentyProviderExceptions) {
#define EX(n, driver) checkException<wire::n>(#n, driver)
    EX(StoreException, true);
    EX(BadStateException, false);
    EX(BusyException, false);
    EX(ConcurrencyException, false);
    EX(SessionIDException, false);
    EX(ConnectionIDException, false);
    EX(DestinationException, false);
    EX(ConsumerException, false);
    EX(BadArgException, false);
    EX(FullException, false);
    EX(ProducerException, false);
    EX(VersionException, false);
    EX(MessageException, false);
    EX(TransactionException, true);
    EX(PushException, false);
    EX(ResourceException, false);
    EX(SelectorException, false);
    EX(MessageLostException, false);
    EX(PropagationException, false);
    EX(SecException, false);
#undef EX
    wireNotify::NotifyException n(L"why", 3);
    EXPECT_EQ(encode(n), Ref().ws(L"why").l(3).out());
}

}  // namespace
