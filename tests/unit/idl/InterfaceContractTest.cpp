// The interfaces as the provider and the callbacks see them: a dynamic servant
// decodes each request with the parameters the contract gives its operation
// and answers with a chosen user exception. A generated stub passes on only
// the user exceptions its operation declares; any other arrives as UNKNOWN.
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "CdrSupport.h"
#include "idl/WireValues.h"

namespace {

using namespace jms;
using namespace qjmstest;

struct Op {
    std::string name;
    std::string params;  // type codes (see Dsi::types), "^" before an out parameter
    std::function<void()> call;
};

struct Answer {
    std::string repoId;
    std::function<void(CORBA::Any&)> fill;
};

template <class... E>
std::vector<Answer> answers(TypeList<E...>) {
    using NotifyException = wireNotify::NotifyException;
    return {{E::_PD_repoId, [](CORBA::Any& a) { a <<= sampleException<E>(); }}...,
            {NotifyException::_PD_repoId,
             [](CORBA::Any& a) { a <<= sampleException<NotifyException>(); }}};
}

class Dsi : public PortableServer::DynamicImplementation {
public:
    explicit Dsi(const char* repoId) : repoId_(repoId) {}
    void invoke(CORBA::ServerRequest_ptr request) override {
        static const std::map<std::string, CORBA::TypeCode_ptr> types = {
            {"ws", CORBA::_tc_wstring}, {"l", CORBA::_tc_long}, {"ll", CORBA::_tc_longlong},
            {"b", CORBA::_tc_boolean}, {"su", wire::_tc_StringU},
            {"md", wire::_tc_ConnectionMetaData}, {"cid", wire::_tc_ConnectionID},
            {"sid", wire::_tc_SessionID}, {"uid", wire::_tc_UID}, {"dst", wire::_tc_Destination},
            {"du", wire::_tc_DestinationU}, {"msg", wire::_tc_JMSMsg}, {"idu", wire::_tc_IDU},
            {"ses", wire::_tc_Sessions}, {"usr", wire::_tc_Users}, {"pid", wireServer::_tc_PropID},
            {"reqs", wireServer::_tc_PropRequests}, {"acks", wireServer::_tc_PropAcks},
            {"sn", wireNotify::_tc_StringNullU}, {"at", wireNotify::_tc_Attributes},
            {"cl", wireClient::_tc_ConnectionListener}, {"ml", wireClient::_tc_MessageListener}};
        CORBA::NVList_ptr args;
        CltOrb::instance().orb()->create_list(0, args);
        // An operation name the table lacks fails the call (out_of_range).
        std::istringstream codes(params.at(request->operation()));
        for (std::string c; codes >> c;) {
            const bool out = c[0] == '^';
            args->add(out ? CORBA::ARG_OUT : CORBA::ARG_IN)
                ->value()
                ->replace(types.at(out ? c.substr(1) : c), nullptr);
        }
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

    std::map<std::string, std::string> params;
    Answer answer;

private:
    const char* repoId_;
};

// A dynamic servant active in the root POA for one test.
template <class Ref>
struct Served {
    explicit Served(const char* repoId) : dsi(new Dsi(repoId)), owner(dsi) {
        PortableServer::POA_ptr poa = CltOrb::instance().rootPOA();
        CltOrb::instance().activatePOAManager();
        id = poa->activate_object(dsi);
        CORBA::Object_var obj = poa->id_to_reference(id.in());
        ref = Ref::_narrow(obj.in());
    }
    ~Served() { CltOrb::instance().rootPOA()->deactivate_object(id.in()); }

    // Answers every operation with each exception in turn: the declared ones
    // must come back as themselves, any other as UNKNOWN.
    void expectRaises(const std::vector<Op>& ops,
                      const std::function<bool(const std::string&, const std::string&)>& declared) {
        for (const Op& op : ops) dsi->params[op.name] = op.params;
        for (const Op& op : ops) {
            for (const Answer& a : answers(ProviderExceptions())) {
                SCOPED_TRACE(op.name + " " + a.repoId);
                dsi->answer = a;
                std::string outcome = "nothing raised";
                try {
                    op.call();
                } catch (const CORBA::UserException& e) {
                    outcome = e._rep_id();
                } catch (const CORBA::SystemException& e) {
                    outcome = e._name();
                }
                EXPECT_EQ(outcome, declared(op.name, a.repoId) ? a.repoId : "UNKNOWN");
            }
        }
    }

    Dsi* dsi;
    PortableServer::ServantBase_var owner;
    PortableServer::ObjectId_var id;
    typename Ref::_var_type ref;
};

// Well-formed arguments for the calls.
class InterfaceContract : public ::testing::Test {
protected:
    InterfaceContract() {
        msg.msg.text(makeTextMessage(u"t"));
        msg.hdr.JMSMessageID = msg.hdr.JMSType = msg.hdr.JMSCorrelationID = su;
        msg.hdr.JMSReplyTo = makeDestinationU();
    }
    const wire::UID uid{3, {2, makeConnectionID(1, u"u", u"")}};
    const wire::SessionID& sid = uid.sid;
    const wire::ConnectionID& cid = uid.sid.cid;
    const wire::Destination dst = makeDestination(u"q", false);
    const wire::StringU su = makeStringU(u"s");
    wire::JMSMsg msg{};
};

// A row of calls: the operation, its parameters, a call of its stub.
#define OP(name, params, ...) Op{#name, params, [&] { __VA_ARGS__; }}

// Every two-way operation declares the twenty provider exceptions; only
// Notify's own operations add NotifyException. IDL forbids a raises clause on
// the four oneway operations (a local call still runs them synchronously, so
// the answer shows).
TEST_F(InterfaceContract, ProviderOperationsDeclareEveryProviderException) {
    Served<wireServer::Provider> provider(wireServer::Provider::_PD_repoId);
    wireServer::Provider_ptr p = provider.ref;
    const wireServer::PropID pid{L"p", su, su};
    const wire::ConnectionMetaData md{1, 0, L"n", 5, 0, true, true, true, L"d"};
    const auto cl = wireClient::ConnectionListener::_nil();
    const auto ml = wireClient::MessageListener::_nil();
    wireNotify::StringNullU sn;
    sn.nullValue(0);
    const wireNotify::Attributes at;
    wire::ConnectionMetaData_var mdOut;
    CORBA::WString_var idOut;
    CORBA::LongLong tsOut;
    using wire::UID_var;
    using wire::NullJMSMsg_var;
    provider.expectRaises(
        {OP(createAdminEntry, "sn sn ws at", p->createAdminEntry(sn, sn, L"e", at)),
         OP(removeAdminEntry, "sn sn ws", p->removeAdminEntry(sn, sn, L"e")),
         OP(updateAdminEntry, "sn sn ws at", p->updateAdminEntry(sn, sn, L"e", at)),
         OP(ping, "", p->ping()), OP(setClientID, "su cid", p->setClientID(su, cid)),
         OP(createConnection, "^md cl md su su su ws",
            wire::ConnectionID_var(p->createConnection(mdOut, cl, md, su, su, su, L"d"))),
         OP(createSession, "cid ml l b l b l",
            wire::SessionID_var(p->createSession(cid, ml, 1, false, 0, false, 4))),
         OP(createSubscriber, "dst sid su", UID_var(p->createSubscriber(dst, sid, su))),
         OP(createDurableSubscriber, "dst ws sid su",
            UID_var(p->createDurableSubscriber(dst, L"n", sid, su))),
         OP(unsubscribe, "ws sid", p->unsubscribe(L"n", sid)),
         OP(createPublisher, "du sid", UID_var(p->createPublisher(makeDestinationU(), sid))),
         OP(createReceiver, "dst sid su", UID_var(p->createReceiver(dst, sid, su))),
         OP(createBrowser, "dst sid su", UID_var(p->createBrowser(dst, sid, su))),
         OP(createSender, "du sid", UID_var(p->createSender(makeDestinationU(dst), sid))),
         OP(commit, "sid", p->commit(sid)), OP(rollback, "sid", p->rollback(sid)),
         OP(admin, "ws ws su su", CORBA::WString_var(p->admin(L"a", L"b", su, su))),
         OP(start, "cid", p->start(cid)), OP(stop, "cid", p->stop(cid)),
         OP(closeConnection, "cid", p->closeConnection(cid)),
         OP(closeSession, "sid", p->closeSession(sid)),
         OP(setMessageListener, "uid", p->setMessageListener(uid)),
         OP(unsetMessageListener, "uid", p->unsetMessageListener(uid)),
         OP(closeProducer, "uid", p->closeProducer(uid)),
         OP(produce, "msg uid ^ws ^ll", p->produce(msg, uid, idOut, tsOut)),
         OP(produceTo, "dst msg uid ^ws ^ll", p->produceTo(dst, msg, uid, idOut, tsOut)),
         OP(closeConsumer, "uid", p->closeConsumer(uid)),
         OP(consume, "uid", wire::JMSMsg_var(p->consume(uid))),
         OP(consumeById, "uid ws", NullJMSMsg_var(p->consumeById(uid, L"ID:1"))),
         OP(consumeTimeOut, "ll uid", NullJMSMsg_var(p->consumeTimeOut(10, uid))),
         OP(consumeNoBlock, "uid", NullJMSMsg_var(p->consumeNoBlock(uid))),
         OP(getReceiverVersion, "", p->getReceiverVersion()),
         OP(startPropJob, "pid b ws ws ws b ws ws b l",
            p->startPropJob(pid, true, L"a", L"b", L"c", false, L"d", L"e", true, 7)),
         OP(stopPropJob, "pid b", p->stopPropJob(pid, true)),
         OP(recvPropReq, "reqs", p->recvPropReq(wireServer::PropRequests())),
         OP(getRecvLogRec, "pid", p->getRecvLogRec(pid)),
         OP(skipCurrentReq, "pid", p->skipCurrentReq(pid)),
         OP(ackPropReq, "acks", p->ackPropReq(wireServer::PropAcks())),
         OP(notifyPropErr, "pid", p->notifyPropErr(pid)),
         OP(flowControlReq, "pid l l", p->flowControlReq(pid, 1, 2)),
         OP(reqResend, "pid ll", wireServer::PropRequest_var(p->reqResend(pid, 9)))},
        [](const std::string& op, const std::string& repoId) {
            if (op == "recvPropReq" || op == "ackPropReq" || op == "notifyPropErr" ||
                op == "flowControlReq")
                return false;
            return repoId != wireNotify::NotifyException::_PD_repoId ||
                   op.find("AdminEntry") != std::string::npos;
        });
}

// onMessage declares what the session's servant raises; the connection
// listener's operations declare nothing.
TEST_F(InterfaceContract, ListenersDeclareOnlyWhatTheirServantsRaise) {
    Served<wireClient::MessageListener> ml(wireClient::MessageListener::_PD_repoId);
    ml.expectRaises({OP(onMessage, "msg uid", ml.ref->onMessage(msg, uid))},
                    [](const std::string&, const std::string& repoId) {
                        return repoId == wire::SessionIDException::_PD_repoId ||
                               repoId == wire::BadStateException::_PD_repoId ||
                               repoId == wire::ConsumerException::_PD_repoId;
                    });
    Served<wireClient::ConnectionListener> cl(wireClient::ConnectionListener::_PD_repoId);
    wire::IDU about;
    about.uid(uid);
    wire::Sessions_var sessions;
    wire::Users_var users;
    cl.expectRaises({OP(serverException, "l ws l l idu",
                        cl.ref->serverException(104, L"t", 1, 2, about)),
                     OP(ping, "cid ^ses ^usr", cl.ref->ping(cid, sessions, users))},
                    [](const std::string&, const std::string&) { return false; });
}

}  // namespace
