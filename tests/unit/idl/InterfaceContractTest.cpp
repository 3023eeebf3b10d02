// The interfaces as the provider and the callbacks see them: a dynamic
// servant, reached through a reference resolved by CltOrb, decodes each
// request with the parameter list the contract gives for its operation and
// answers with a chosen exception. The generated stub passes on only the user
// exceptions its operation declares; others become CORBA::UNKNOWN.
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "CdrSupport.h"
#include "connection/CltOrb.h"
#include "idl/WireValues.h"

namespace {

using namespace jms;
using qjmstest::HasDriverCode;

struct Param {
    CORBA::Flags dir;
    CORBA::TypeCode_ptr tc;
};
using Signatures = std::map<std::string, std::vector<Param>>;

struct Raise {
    std::string repoId;
    std::function<void(CORBA::Any&)> fill;
};

template <class E>
Raise raise() {
    return {E::_PD_repoId, [](CORBA::Any& a) {
                E e;
                e.reason = L"r";
                e.code = 1;
                if constexpr (HasDriverCode<E>::value) e.driverCode = 2;
                a <<= e;
            }};
}

class Dsi : public PortableServer::DynamicImplementation {
public:
    Dsi(const char* repoId, const Signatures& ops) : repoId_(repoId), ops_(ops) {}
    void invoke(CORBA::ServerRequest_ptr request) override {
        lastOp = request->operation();
        CORBA::NVList_ptr args;
        CltOrb::instance().orb()->create_list(0, args);
        for (const Param& p : ops_.at(lastOp)) args->add(p.dir)->value()->replace(p.tc, nullptr);
        request->arguments(args);
        CORBA::Any ex;
        answer.fill(ex);
        request->set_exception(ex);
    }
    char* _primary_interface(const PortableServer::ObjectId&, PortableServer::POA_ptr) override {
        return CORBA::string_dup(repoId_);
    }
    // The base version leaks the _primary_interface text.
    CORBA::Boolean _is_a(const char* id) override { return std::string(id) == repoId_; }
    std::string lastOp;
    Raise answer;

private:
    const char* repoId_;
    const Signatures& ops_;
};

// Activates a servant in the root POA for one test and deactivates it after.
template <class Ref>
class Served {
public:
    Served(const char* repoId, const Signatures& ops)
        : dsi_(new Dsi(repoId, ops)), servant_(dsi_) {
        CltOrb& orb = CltOrb::instance();
        orb.activatePOAManager();
        id_ = orb.rootPOA()->activate_object(servant_.in());
        CORBA::Object_var local = orb.rootPOA()->id_to_reference(id_.in());
        CORBA::String_var ior = orb.orb()->object_to_string(local.in());
        CORBA::Object_var obj = orb.stringToObject(ior.in());
        ref_ = Ref::_narrow(obj.in());
    }
    ~Served() { CltOrb::instance().rootPOA()->deactivate_object(id_.in()); }
    Dsi& servant() { return *dsi_; }
    typename Ref::_ptr_type ref() { return ref_.in(); }

private:
    Dsi* dsi_;
    PortableServer::ServantBase_var servant_;  // owns dsi_
    PortableServer::ObjectId_var id_;
    typename Ref::_var_type ref_;
};

// Calls `call`; returns the repository ID of the user exception that came
// back, the name of a system exception ("UNKNOWN" for an undeclared user
// exception), "" for none.
std::string outcome(const std::function<void()>& call) {
    try {
        call();
    } catch (const CORBA::UserException& e) {
        return e._rep_id();
    } catch (const CORBA::SystemException& e) {
        return e._name();
    } catch (...) {
        return "broker failure";  // a request the servant could not decode
    }
    return "";
}

std::vector<Raise> providerExceptions() {
    return {raise<wire::StoreException>(),        raise<wire::BadStateException>(),
            raise<wire::BusyException>(),         raise<wire::ConcurrencyException>(),
            raise<wire::SessionIDException>(),    raise<wire::ConnectionIDException>(),
            raise<wire::DestinationException>(),  raise<wire::ConsumerException>(),
            raise<wire::BadArgException>(),       raise<wire::FullException>(),
            raise<wire::ProducerException>(),     raise<wire::VersionException>(),
            raise<wire::MessageException>(),      raise<wire::TransactionException>(),
            raise<wire::PushException>(),         raise<wire::ResourceException>(),
            raise<wire::SelectorException>(),     raise<wire::MessageLostException>(),
            raise<wire::PropagationException>(),  raise<wire::SecException>()};
}

const CORBA::Flags in = CORBA::ARG_IN, out = CORBA::ARG_OUT;

// The provider's 41 operations in the contract's order, inherited ones first.
const char* const providerOps[] = {
    "createAdminEntry", "removeAdminEntry", "updateAdminEntry", "ping", "setClientID",
    "createConnection", "createSession", "createSubscriber", "createDurableSubscriber",
    "unsubscribe", "createPublisher", "createReceiver", "createBrowser", "createSender",
    "commit", "rollback", "admin", "start", "stop", "closeConnection", "closeSession",
    "setMessageListener", "unsetMessageListener", "closeProducer", "produce", "produceTo",
    "closeConsumer", "consume", "consumeById", "consumeTimeOut", "consumeNoBlock",
    "getReceiverVersion", "startPropJob", "stopPropJob", "recvPropReq", "getRecvLogRec",
    "skipCurrentReq", "ackPropReq", "notifyPropErr", "flowControlReq", "reqResend"};

bool oneway(const std::string& op) {
    return op == "recvPropReq" || op == "ackPropReq" || op == "notifyPropErr" ||
           op == "flowControlReq";
}

// Their parameters, as the servant decodes them.
const Signatures& providerSignatures() {
    namespace N = wireNotify;
    const auto ws = CORBA::_tc_wstring, lg = CORBA::_tc_long, ll = CORBA::_tc_longlong,
               bo = CORBA::_tc_boolean, sn = N::_tc_StringNullU, at = N::_tc_Attributes;
    const auto cid = wire::_tc_ConnectionID, sid = wire::_tc_SessionID, uid = wire::_tc_UID,
               su = wire::_tc_StringU, dst = wire::_tc_Destination, du = wire::_tc_DestinationU,
               md = wire::_tc_ConnectionMetaData, msg = wire::_tc_JMSMsg,
               pid = wireServer::_tc_PropID;
    static const Signatures ops = {
        {"createAdminEntry", {{in, sn}, {in, sn}, {in, ws}, {in, at}}},
        {"removeAdminEntry", {{in, sn}, {in, sn}, {in, ws}}},
        {"updateAdminEntry", {{in, sn}, {in, sn}, {in, ws}, {in, at}}},
        {"ping", {}},
        {"setClientID", {{in, su}, {in, cid}}},
        {"createConnection",
         {{out, md}, {in, wireClient::_tc_ConnectionListener}, {in, md}, {in, su}, {in, su},
          {in, su}, {in, ws}}},
        {"createSession",
         {{in, cid}, {in, wireClient::_tc_MessageListener}, {in, lg}, {in, bo}, {in, lg},
          {in, bo}, {in, lg}}},
        {"createSubscriber", {{in, dst}, {in, sid}, {in, su}}},
        {"createDurableSubscriber", {{in, dst}, {in, ws}, {in, sid}, {in, su}}},
        {"unsubscribe", {{in, ws}, {in, sid}}},
        {"createPublisher", {{in, du}, {in, sid}}},
        {"createReceiver", {{in, dst}, {in, sid}, {in, su}}},
        {"createBrowser", {{in, dst}, {in, sid}, {in, su}}},
        {"createSender", {{in, du}, {in, sid}}},
        {"commit", {{in, sid}}},
        {"rollback", {{in, sid}}},
        {"admin", {{in, ws}, {in, ws}, {in, su}, {in, su}}},
        {"start", {{in, cid}}},
        {"stop", {{in, cid}}},
        {"closeConnection", {{in, cid}}},
        {"closeSession", {{in, sid}}},
        {"setMessageListener", {{in, uid}}},
        {"unsetMessageListener", {{in, uid}}},
        {"closeProducer", {{in, uid}}},
        {"produce", {{in, msg}, {in, uid}, {out, ws}, {out, ll}}},
        {"produceTo", {{in, dst}, {in, msg}, {in, uid}, {out, ws}, {out, ll}}},
        {"closeConsumer", {{in, uid}}},
        {"consume", {{in, uid}}},
        {"consumeById", {{in, uid}, {in, ws}}},
        {"consumeTimeOut", {{in, ll}, {in, uid}}},
        {"consumeNoBlock", {{in, uid}}},
        {"getReceiverVersion", {}},
        {"startPropJob",
         {{in, pid}, {in, bo}, {in, ws}, {in, ws}, {in, ws}, {in, bo}, {in, ws}, {in, ws},
          {in, bo}, {in, lg}}},
        {"stopPropJob", {{in, pid}, {in, bo}}},
        {"recvPropReq", {{in, wireServer::_tc_PropRequests}}},
        {"getRecvLogRec", {{in, pid}}},
        {"skipCurrentReq", {{in, pid}}},
        {"ackPropReq", {{in, wireServer::_tc_PropAcks}}},
        {"notifyPropErr", {{in, pid}}},
        {"flowControlReq", {{in, pid}, {in, lg}, {in, lg}}},
        {"reqResend", {{in, pid}, {in, ll}}},
    };
    return ops;
}

// One call of each provider operation, in the contract's order, with
// well-formed arguments.
std::vector<std::function<void()>> providerCalls(wireServer::Provider_ptr p) {
    const wire::ConnectionID cid = makeConnectionID(1, u"u", u"");
    const wire::SessionID sid{2, cid};
    const wire::UID uid{3, sid};
    const wire::Destination dst = makeDestination(u"q", false);
    const wire::StringU su = makeStringU(u"s");
    wire::JMSMsg msg{};
    msg.msg.text(makeTextMessage(u"t"));
    msg.hdr.JMSMessageID = msg.hdr.JMSType = msg.hdr.JMSCorrelationID = su;
    msg.hdr.JMSReplyTo = makeDestinationU();
    const wire::ConnectionMetaData md{1, 0, L"n", 5, 0, true, true, true, L"d"};
    const wireServer::PropID pid{L"p", su, su};
    wireNotify::StringNullU sn;
    sn.nullValue(0);
    const wireNotify::Attributes attrs;
    wire::ConnectionMetaData_var mdOut;
    CORBA::WString_var idOut;
    CORBA::LongLong tsOut = 0;
    const auto cl = wireClient::ConnectionListener::_nil();
    const auto ml = wireClient::MessageListener::_nil();
    return {
        [=] { p->createAdminEntry(sn, sn, L"e", attrs); },
        [=] { p->removeAdminEntry(sn, sn, L"e"); },
        [=] { p->updateAdminEntry(sn, sn, L"e", attrs); },
        [=] { p->ping(); },
        [=] { p->setClientID(su, cid); },
        [=]() mutable {
            wire::ConnectionID_var r = p->createConnection(mdOut, cl, md, su, su, su, L"d");
        },
        [=] { wire::SessionID_var r = p->createSession(cid, ml, 1, false, 0, false, 4); },
        [=] { wire::UID_var r = p->createSubscriber(dst, sid, su); },
        [=] { wire::UID_var r = p->createDurableSubscriber(dst, L"n", sid, su); },
        [=] { p->unsubscribe(L"n", sid); },
        [=] { wire::UID_var r = p->createPublisher(makeDestinationU(), sid); },
        [=] { wire::UID_var r = p->createReceiver(dst, sid, su); },
        [=] { wire::UID_var r = p->createBrowser(dst, sid, su); },
        [=] { wire::UID_var r = p->createSender(makeDestinationU(dst), sid); },
        [=] { p->commit(sid); },
        [=] { p->rollback(sid); },
        [=] { CORBA::WString_var r = p->admin(L"a", L"b", su, su); },
        [=] { p->start(cid); },
        [=] { p->stop(cid); },
        [=] { p->closeConnection(cid); },
        [=] { p->closeSession(sid); },
        [=] { p->setMessageListener(uid); },
        [=] { p->unsetMessageListener(uid); },
        [=] { p->closeProducer(uid); },
        [=]() mutable { p->produce(msg, uid, idOut, tsOut); },
        [=]() mutable { p->produceTo(dst, msg, uid, idOut, tsOut); },
        [=] { p->closeConsumer(uid); },
        [=] { wire::JMSMsg_var r = p->consume(uid); },
        [=] { wire::NullJMSMsg_var r = p->consumeById(uid, L"ID:1"); },
        [=] { wire::NullJMSMsg_var r = p->consumeTimeOut(10, uid); },
        [=] { wire::NullJMSMsg_var r = p->consumeNoBlock(uid); },
        [=] { p->getReceiverVersion(); },
        [=] { p->startPropJob(pid, true, L"a", L"b", L"c", false, L"d", L"e", true, 7); },
        [=] { p->stopPropJob(pid, true); },
        [=] { p->recvPropReq(wireServer::PropRequests()); },
        [=] { p->getRecvLogRec(pid); },
        [=] { p->skipCurrentReq(pid); },
        [=] { p->ackPropReq(wireServer::PropAcks()); },
        [=] { p->notifyPropErr(pid); },
        [=] { p->flowControlReq(pid, 1, 2); },
        [=] { wireServer::PropRequest_var r = p->reqResend(pid, 9); },
    };
}

TEST(ProviderContract, OperationsArriveByNameWithTheirParameters) {
    Served<wireServer::Provider> provider(wireServer::Provider::_PD_repoId, providerSignatures());
    ASSERT_FALSE(CORBA::is_nil(provider.ref()));
    const auto calls = providerCalls(provider.ref());
    ASSERT_EQ(calls.size(), 41u);
    provider.servant().answer = raise<wire::StoreException>();
    for (size_t i = 0; i < calls.size(); ++i) {
        const std::string op = providerOps[i];
        SCOPED_TRACE(op);
        provider.servant().lastOp.clear();
        // IDL forbids a raises clause on a oneway operation, so only the four
        // oneway operations may declare nothing. (A local call runs even a
        // oneway operation synchronously, so the servant's answer still shows.)
        EXPECT_EQ(outcome(calls[i]), oneway(op) ? "UNKNOWN" : wire::StoreException::_PD_repoId);
        EXPECT_EQ(provider.servant().lastOp, op);
    }
}

TEST(ProviderContract, TwoWayOperationsDeclareEveryProviderException) {
    Served<wireServer::Provider> provider(wireServer::Provider::_PD_repoId, providerSignatures());
    const auto calls = providerCalls(provider.ref());
    auto raises = providerExceptions();
    raises.push_back(raise<wireNotify::NotifyException>());
    for (size_t i = 0; i < calls.size(); ++i) {
        const std::string op = providerOps[i];
        if (oneway(op)) continue;
        const bool inherited = i < 3;  // only Notify's own operations raise NotifyException
        for (const Raise& r : raises) {
            SCOPED_TRACE(op + " " + r.repoId);
            provider.servant().answer = r;
            const bool notify = r.repoId == wireNotify::NotifyException::_PD_repoId;
            EXPECT_EQ(outcome(calls[i]), notify && !inherited ? "UNKNOWN" : r.repoId);
        }
    }
}

TEST(CallbackContract, ListenersDeclareOnlyWhatTheirServantsRaise) {
    const Signatures messageOps = {{"onMessage", {{in, wire::_tc_JMSMsg}, {in, wire::_tc_UID}}}};
    Served<wireClient::MessageListener> ml(wireClient::MessageListener::_PD_repoId, messageOps);
    wire::JMSMsg msg{};
    msg.msg.header(0);
    msg.hdr.JMSMessageID = msg.hdr.JMSType = msg.hdr.JMSCorrelationID = makeStringU(u"");
    msg.hdr.JMSReplyTo = makeDestinationU();
    const wire::UID uid{3, {2, makeConnectionID(1, u"", u"")}};
    for (const Raise& r : providerExceptions()) {
        SCOPED_TRACE(r.repoId);
        ml.servant().answer = r;
        const bool declared = r.repoId == wire::SessionIDException::_PD_repoId ||
                              r.repoId == wire::BadStateException::_PD_repoId ||
                              r.repoId == wire::ConsumerException::_PD_repoId;
        EXPECT_EQ(outcome([&] { ml.ref()->onMessage(msg, uid); }),
                  declared ? r.repoId : "UNKNOWN");
    }

    const Signatures connectionOps = {
        {"serverException",
         {{in, CORBA::_tc_long}, {in, CORBA::_tc_wstring}, {in, CORBA::_tc_long},
          {in, CORBA::_tc_long}, {in, wire::_tc_IDU}}},
        {"ping",
         {{in, wire::_tc_ConnectionID}, {out, wire::_tc_Sessions}, {out, wire::_tc_Users}}}};
    Served<wireClient::ConnectionListener> cl(wireClient::ConnectionListener::_PD_repoId,
                                              connectionOps);
    cl.servant().answer = raise<wire::SessionIDException>();
    wire::IDU concerned;
    concerned.uid(uid);
    EXPECT_EQ(outcome([&] { cl.ref()->serverException(104, L"t", 1, 2, concerned); }), "UNKNOWN");
    EXPECT_EQ(cl.servant().lastOp, "serverException");
    wire::Sessions_var sessions;
    wire::Users_var users;
    EXPECT_EQ(outcome([&] { cl.ref()->ping(uid.sid.cid, sessions, users); }), "UNKNOWN");
    EXPECT_EQ(cl.servant().lastOp, "ping");
}

}  // namespace
