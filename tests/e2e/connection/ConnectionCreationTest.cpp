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

TEST_F(ConnectionCreation, ProviderFailuresReadInTheCreateFormWithoutRetry) {
    struct Case { const char* exception; std::string message; };
    const Case cases[] = {
        {"StoreException", "svrStore: why"},     {"VersionException", "svrVersion: why"},
        {"BadArgException", "svrBadArg: why"},   {"BadStateException", "svrBadState: why"},
        {"SecException", "svrSec: why"},         {"TRANSIENT", "SystemException: "},
        {"COMM_FAILURE", "SystemException: "},
    };
    for (const Case& c : cases) {
        control_.reset();
        control_.fail("createConnection", c.exception, 1, 0, "why");
        Thrown t = thrownBy([&] { connect(); });
        EXPECT_EQ(t.message, c.message) << c.exception;
        EXPECT_EQ(t.errorCode, errCreate) << c.exception;
        EXPECT_EQ(control_.calls("createConnection"), 1) << c.exception;
    }
    // Not in the table: the provider's own exception reaches the caller.
    control_.fail("createConnection", "DestinationException");
    EXPECT_THROW(connect(), zorvane::velt::quorix::corba::jmsCommon::DestinationException);
    EXPECT_TRUE(control_.connections().empty());
}

TEST_F(ConnectionCreation, ResourceIsRetriedAtMostThreeTimesOneSecondApart) {
    control_.fail("createConnection", "ResourceException", 2, 0, "busy");
    const auto started = Clock::now();
    auto connection = connect();
    EXPECT_EQ(control_.calls("createConnection"), 3);
    EXPECT_GE(Clock::now() - started, std::chrono::milliseconds(1900));  // the two pauses
    EXPECT_LT(Clock::now() - started, std::chrono::seconds(15));

    control_.reset();
    for (const char* reason : {"first", "second", "third", "fourth"}) {
        control_.fail("createConnection", "ResourceException", 1, 0, reason);
    }
    Thrown t = thrownBy([&] { connect(); });
    EXPECT_EQ(t.message, "svrResource: third");
    EXPECT_EQ(t.errorCode, errCreate);
    EXPECT_EQ(control_.calls("createConnection"), 3);
}

TEST_F(ConnectionCreation, CredentialsAreCheckedAndEmptyTextsSentAsNull) {
    struct Case { std::string user, password, clientID, refused, sent; };
    const Case cases[] = {
        {"alice", "", "", "badArg: null password", ""},
        {"", "secret", "", "badArg: null username", ""},
        {"", "", "", "", "clientID=null username=null password=null"},
        {"alice", "secret", "app", "", "clientID=\"app\" username=\"alice\" password=\"secret\""},
    };
    for (const Case& c : cases) {
        control_.reset();
        Thrown t = thrownBy([&] { connect(c.user, c.password, c.clientID); });
        EXPECT_EQ(t.message, c.refused);
        if (t.threw) {
            EXPECT_EQ(control_.calls("createConnection"), 0);
        } else {
            EXPECT_NE(control_.last("createConnection").find(c.sent), std::string::npos)
                << control_.last("createConnection");
        }
    }
    // And the library describes itself the same way every time.
    EXPECT_NE(control_.last("createConnection")
                  .find("{version=1.0 provider=\"ZorvaneJMS\" providerVersion=5.0 persistent=false "
                        "nonPersistent=false tx=false driver=\"\"}"),
              std::string::npos);
}

TEST_F(ConnectionCreation, EmptyDriverOrNonProviderReferenceIsInternal) {
    const std::string internal =
        "internal:  impl= IDL:zorvane/velt/quorix/corba/jmsServer/Provider:1.0 driverName= ";
    EXPECT_EQ(thrownBy([&] { connect("", "", "", ""); }).message, internal);
    EXPECT_EQ(control_.calls("createConnection"), 0);

    // A live reference to something that is not a provider narrows to nil.
    PortableServer::Servant_var<jms::CltConnectionListenerImpl> other(
        new jms::CltConnectionListenerImpl());
    PortableServer::ObjectId_var id = testPoa()->activate_object(other.in());
    CORBA::Object_var ref = testPoa()->id_to_reference(id.in());
    CORBA::String_var text = testOrb()->object_to_string(ref.in());
    jms::ImplDepFactory entry(wide(text.in()), u"vol", u"", 4, 0);
    std::unique_ptr<jms::TopicConnectionFactory> factory(entry.createTopicConnectionFactory());
    EXPECT_EQ(thrownBy([&] { delete factory->createTopicConnection(); }).message, internal + "vol");
    testPoa()->deactivate_object(id.in());
}

TEST_F(ConnectionCreation, ReferenceTextOrFile) {
    jms::ImplDepFactory byText(wide(server_.ior()), u"vol", u"", 4, 0);
    jms::ImplDepFactory copy(byText);
    std::unique_ptr<jms::QueueConnectionFactory> factory(copy.createQueueConnectionFactory());
    delete factory->createQueueConnection();
    EXPECT_EQ(control_.calls("createConnection"), 1);

    const std::string bad = server_.iorFile() + ".bad";
    std::ofstream(bad) << "IOR:nonsense " << server_.ior();  // only the first word counts
    const std::string system = "CltIDLConnectionFactory  CORBA::SystemException";
    jms::ImplDepFactory badFile(wide(bad), u"vol", true, u"", 4, 0);
    EXPECT_EQ(thrownBy([&] { delete badFile.createTopicConnectionFactory(); }).message, system);
    jms::ImplDepFactory badText(u"IOR:nonsense", u"vol", u"", 4, 0);
    EXPECT_EQ(thrownBy([&] { delete badText.createQueueConnectionFactory(); }).message, system);
    std::remove(bad.c_str());
}

TEST_F(ConnectionCreation, ProviderNotRunningFailsAtOnceWithSystemException) {
    const std::string ior = server_.ior();
    server_.stop();
    jms::ImplDepFactory entry(wide(ior), u"vol", u"", 4, 0);
    std::unique_ptr<jms::QueueConnectionFactory> factory(entry.createQueueConnectionFactory());
    Thrown t = thrownBy([&] { delete factory->createQueueConnection(); });
    EXPECT_EQ(t.message, "SystemException: ");
    EXPECT_EQ(t.errorCode, errCreate);
}

}  // namespace
}  // namespace qjms::test
