// From nothing to a live connection: entry factory, connection factories,
// establishing the connection, and how each failure reads.
#include "ConnectionHarness.h"

namespace qjms::test {
namespace {

const std::string errCreate = "|CltException::ERR_CONNECTION_CREATE";

class ConnectionCreation : public ConnectionE2E {};

TEST_F(ConnectionCreation, ProviderFailuresReadInTheCreateFormWithoutRetry) {
    const std::pair<const char*, std::string> cases[] = {
        {"StoreException", "svrStore: why"},     {"VersionException", "svrVersion: why"},
        {"BadArgException", "svrBadArg: why"},   {"BadStateException", "svrBadState: why"},
        {"SecException", "svrSec: why"},         {"TRANSIENT", "SystemException: "},
        {"COMM_FAILURE", "SystemException: "},
    };
    for (const auto& [exception, message] : cases) {
        control_.reset();
        control_.fail("createConnection", exception, 1, 0, "why");
        EXPECT_EQ(thrownBy([&] { connect(); }), message + errCreate);
        EXPECT_EQ(control_.calls("createConnection"), 1) << exception;
    }
}

TEST_F(ConnectionCreation, ResourceIsRetriedThreeTimesAndTheLastReasonReads) {
    control_.fail("createConnection", "ResourceException", 2, 0, "busy");
    connect();
    EXPECT_EQ(control_.calls("createConnection"), 3);
    control_.reset();
    for (const char* reason : {"first", "second", "third", "fourth"}) {
        control_.fail("createConnection", "ResourceException", 1, 0, reason);
    }
    EXPECT_EQ(thrownBy([&] { connect(); }), "svrResource: third" + errCreate);
    EXPECT_EQ(control_.calls("createConnection"), 3);
}

TEST_F(ConnectionCreation, CredentialsAreCheckedAndEmptyTextsSentAsNull) {
    struct Case { std::string user, password, clientID, refused, sent; };
    const Case cases[] = {
        {"alice", "", "", "badArg: null password|", ""},
        {"", "secret", "", "badArg: null username|", ""},
        {"", "", "", "", "clientID=null username=null password=null"},
        {"alice", "secret", "app", "", "clientID=\"app\" username=\"alice\" password=\"secret\""},
    };
    for (const Case& c : cases) {
        control_.reset();
        EXPECT_EQ(thrownBy([&] { connect(c.user, c.password, c.clientID); }), c.refused);
        EXPECT_EQ(control_.calls("createConnection"), c.refused.empty() ? 1 : 0);
        EXPECT_THAT(control_.last("createConnection"), HasSubstr(c.sent));
    }
    // And the library describes itself the same way every time.
    EXPECT_THAT(control_.last("createConnection"),
                HasSubstr("{version=1.0 provider=\"ZorvaneJMS\" providerVersion=5.0 persistent=false "
                          "nonPersistent=false tx=false driver=\"\"}"));
}

TEST_F(ConnectionCreation, EmptyDriverOrNonProviderReferenceIsInternal) {
    const std::string internal =
        "internal:  impl= IDL:zorvane/velt/quorix/corba/jmsServer/Provider:1.0 driverName= ";
    EXPECT_EQ(thrownBy([&] { connect("", "", "", ""); }), internal + "|");
    EXPECT_EQ(control_.calls("createConnection"), 0);

    // A live reference to something that is not a provider narrows to nil.
    PortableServer::Servant_var<jms::CltConnectionListenerImpl> other(
        new jms::CltConnectionListenerImpl());
    PortableServer::ObjectId_var id = testPoa()->activate_object(other.in());
    CORBA::Object_var ref = testPoa()->id_to_reference(id.in());
    CORBA::String_var text = testOrb()->object_to_string(ref.in());
    jms::ImplDepFactory entry(wide(text.in()), u"vol", u"", 4, 0);
    std::unique_ptr<jms::TopicConnectionFactory> factory(entry.createTopicConnectionFactory());
    EXPECT_EQ(thrownBy([&] { delete factory->createTopicConnection(); }), internal + "vol|");
    testPoa()->deactivate_object(id.in());
}

TEST_F(ConnectionCreation, ReferenceTextWorksThroughACopyAndABadOneIsASystemException) {
    jms::ImplDepFactory byText(wide(server_.ior()), u"vol", u"", 4, 0);
    jms::ImplDepFactory copy(byText);
    std::unique_ptr<jms::QueueConnectionFactory> factory(copy.createQueueConnectionFactory());
    delete factory->createQueueConnection();
    EXPECT_EQ(control_.calls("createConnection"), 1);

    jms::ImplDepFactory badText(u"IOR:nonsense", u"vol", u"", 4, 0);
    EXPECT_EQ(thrownBy([&] { delete badText.createQueueConnectionFactory(); }),
              "CltIDLConnectionFactory  CORBA::SystemException|");
}

}  // namespace
}  // namespace qjms::test
