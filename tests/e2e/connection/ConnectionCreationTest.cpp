// From nothing to a live connection: entry factory, connection factories,
// establishing the connection, and how each failure reads.
#include <chrono>
#include <cstdio>
#include <fstream>

#include "ConnectionHarness.h"

namespace qjms::test {
namespace {

using Clock = std::chrono::steady_clock;
const std::string errCreate = "CltException::ERR_CONNECTION_CREATE";

class ConnectionCreation : public ConnectionE2E {};

TEST_F(ConnectionCreation, ProviderFailuresReadInTheCreateForm) {
    struct Case { const char* exception; std::string message; };
    const Case cases[] = {
        {"StoreException", "svrStore: why"},     {"VersionException", "svrVersion: why"},
        {"BadArgException", "svrBadArg: why"},   {"BadStateException", "svrBadState: why"},
        {"SecException", "svrSec: why"},         {"TRANSIENT", "SystemException: "},
        {"COMM_FAILURE", "SystemException: "},   {"INTERNAL", "SystemException: "},
    };
    for (const Case& c : cases) {
        control_.reset();
        control_.fail("createConnection", c.exception, 1, 0, "why");
        Thrown t = thrownBy([&] { connect(); });
        EXPECT_TRUE(t.threw) << c.exception;
        EXPECT_EQ(t.message, c.message) << c.exception;
        EXPECT_EQ(t.errorCode, errCreate) << c.exception;
        EXPECT_EQ(control_.calls("createConnection"), 1) << c.exception << ": retried";
    }
    EXPECT_TRUE(control_.connections().empty());
}

TEST_F(ConnectionCreation, UnhandledProviderExceptionPassesThroughUntranslated) {
    control_.fail("createConnection", "DestinationException", 1, 0, "odd");
    EXPECT_THROW(connect(), zorvane::velt::quorix::corba::jmsCommon::DestinationException);
}

TEST_F(ConnectionCreation, ResourceTwiceThenConnectsAfterTwoPauses) {
    control_.fail("createConnection", "ResourceException", 2, 0, "busy");
    const auto started = Clock::now();
    auto connection = connect();
    const auto elapsed = Clock::now() - started;
    EXPECT_EQ(control_.calls("createConnection"), 3);
    EXPECT_GE(elapsed, std::chrono::milliseconds(1900));
    EXPECT_LT(elapsed, std::chrono::seconds(15));
    EXPECT_EQ(control_.connections().size(), 1u);
}

TEST_F(ConnectionCreation, ResourceThreeTimesGivesTheThirdReasonAfterThreeCalls) {
    for (const char* reason : {"first", "second", "third", "fourth"}) {
        control_.fail("createConnection", "ResourceException", 1, 0, reason);
    }
    Thrown t = thrownBy([&] { connect(); });
    EXPECT_EQ(t.message, "svrResource: third");
    EXPECT_EQ(t.errorCode, errCreate);
    EXPECT_EQ(control_.calls("createConnection"), 3);
}

TEST_F(ConnectionCreation, CredentialsAreCheckedAndAbsentTextsSentAsNull) {
    struct Case { std::string user, password, clientID; std::string refused, sent; };
    const Case cases[] = {
        {"alice", "", "", "badArg: null password", ""},
        {"", "secret", "", "badArg: null username", ""},
        {"", "", "", "", "clientID=null username=null password=null"},
        {"alice", "secret", "app", "",
         "clientID=\"app\" username=\"alice\" password=\"secret\""},
    };
    for (const Case& c : cases) {
        control_.reset();
        Thrown t = thrownBy([&] { connect(c.user, c.password, c.clientID); });
        if (!c.refused.empty()) {
            EXPECT_EQ(t.message, c.refused);
            EXPECT_EQ(t.errorCode, "");
            EXPECT_EQ(control_.calls("createConnection"), 0);
        } else {
            EXPECT_FALSE(t.threw) << t.message;
            EXPECT_NE(control_.last("createConnection").find(c.sent), std::string::npos)
                << control_.last("createConnection");
        }
    }
}

TEST_F(ConnectionCreation, ClientMetaDataIsTheLibrarysOwn) {
    auto connection = connect();
    EXPECT_NE(control_.last("createConnection")
                  .find("{version=1.0 provider=\"ZorvaneJMS\" providerVersion=5.0 persistent=false "
                        "nonPersistent=false tx=false driver=\"\"}"),
              std::string::npos)
        << control_.last("createConnection");
}

TEST_F(ConnectionCreation, EmptyDriverOrNonProviderReferenceIsInternal) {
    const std::string expectedPrefix =
        "internal:  impl= IDL:zorvane/velt/quorix/corba/jmsServer/Provider:1.0 driverName= ";
    Thrown t = thrownBy([&] { connect("", "", "", ""); });
    EXPECT_EQ(t.message, expectedPrefix);
    EXPECT_EQ(control_.calls("createConnection"), 0);

    // A live reference to something that is not a provider narrows to nil.
    PortableServer::Servant_var<jms::CltConnectionListenerImpl> other(
        new jms::CltConnectionListenerImpl());
    PortableServer::ObjectId_var id = testPoa()->activate_object(other.in());
    CORBA::Object_var ref = testPoa()->id_to_reference(id.in());
    CORBA::String_var text = testOrb()->object_to_string(ref.in());
    jms::ImplDepFactory entry(wide(text.in()), u"vol", u"", 4, 0);
    std::unique_ptr<jms::TopicConnectionFactory> factory(entry.createTopicConnectionFactory());
    t = thrownBy([&] { delete factory->createTopicConnection(); });
    EXPECT_EQ(t.message, expectedPrefix + "vol");
    testPoa()->deactivate_object(id.in());
}

TEST_F(ConnectionCreation, ReferenceFileOrReferenceText) {
    // The file variant ignores the reference text; the text variant needs no file.
    jms::ImplDepFactory byText(wide(server_.ior()), u"vol", u"", 4, 0);
    jms::ImplDepFactory copy(byText);
    std::unique_ptr<jms::QueueConnectionFactory> factory(copy.createQueueConnectionFactory());
    std::unique_ptr<jms::QueueConnection> connection(factory->createQueueConnection());
    EXPECT_EQ(control_.connections().size(), 1u);

    const std::string dir = server_.iorFile() + ".d";
    struct Case { std::string file; std::string content; bool write; std::string message; };
    const Case cases[] = {
        {dir + "-missing", "", false, "Cannot open: " + dir + "-missing"},
        {server_.iorFile() + ".empty", " \n", true, "Cannot read: " + server_.iorFile() + ".empty"},
        {server_.iorFile() + ".bad", "IOR:nonsense more", true,
         "CltIDLConnectionFactory  CORBA::SystemException"},
    };
    for (const Case& c : cases) {
        if (c.write) std::ofstream(c.file) << c.content;
        jms::ImplDepFactory byFile(wide(c.file), u"vol", true, u"", 4, 0);
        Thrown t = thrownBy([&] { delete byFile.createTopicConnectionFactory(); });
        EXPECT_EQ(t.message, c.message);
        EXPECT_EQ(t.errorCode, "");
        std::remove(c.file.c_str());
    }
    jms::ImplDepFactory badText(u"IOR:nonsense", u"vol", u"", 4, 0);
    EXPECT_EQ(thrownBy([&] { delete badText.createQueueConnectionFactory(); }).message,
              "CltIDLConnectionFactory  CORBA::SystemException");
}

TEST_F(ConnectionCreation, ProviderNotRunningFailsAtOnceWithSystemException) {
    const std::string ior = server_.ior();
    server_.stop();
    jms::ImplDepFactory entry(wide(ior), u"vol", u"", 4, 0);
    std::unique_ptr<jms::QueueConnectionFactory> factory(entry.createQueueConnectionFactory());
    const auto started = Clock::now();
    Thrown t = thrownBy([&] { delete factory->createQueueConnection(); });
    EXPECT_EQ(t.message, "SystemException: ");
    EXPECT_EQ(t.errorCode, errCreate);
    EXPECT_LT(Clock::now() - started, std::chrono::seconds(20));
}

}  // namespace
}  // namespace qjms::test
