// Closing and deleting in any order: what a closed or invalidated session
// still allows, and objects outliving their owners without touching freed
// memory (the sanitizer builds catch what these do not assert).
#include "SessionHarness.h"

namespace qjms::test {
namespace {

const std::string sessionClosed = "sessionClosed: checkInUseAndClosed|";

struct Endpoints : OnQueue {
    Owned<jms::QueueBrowser> browser{session->createBrowser(queue.get())};
    Owned<jms::TextMessage> message{session->createTextMessage(u"m")};

    // Every use fails as on a closed session.
    void expectUnusable() {
        EXPECT_EQ(thrownBy([&] { sender->send(message.get()); }), sessionClosed);
        EXPECT_EQ(thrownBy([&] { sender->getPriority(); }), sessionClosed);
        EXPECT_EQ(thrownBy([&] { delete receiver->receiveNoWait(); }), sessionClosed);
        EXPECT_EQ(thrownBy([&] { receiver->close(); }), sessionClosed);
        EXPECT_FALSE(browser->getEnumeration()->hasMoreElements());
        EXPECT_EQ(thrownBy([&] { browser->getEnumeration()->nextElement(); }), sessionClosed);
        EXPECT_TRUE(closedEndpoint(*sender));
        EXPECT_TRUE(closedEndpoint(*receiver));
    }
};

class Lifetime : public SessionE2E {
protected:
    Endpoints endpoints() { return Endpoints{onQueue(u"q")}; }
};

TEST_F(Lifetime, AClosedSessionClosesItsEndpointsAndStillMakesMessages) {
    auto e = endpoints();
    auto& qs = e.session;
    qs->close();
    e.expectUnusable();
    EXPECT_EQ(thrownBy([&] { qs->close(); }), "sessionClosed: close|");
    EXPECT_EQ(thrownBy([&] { qs->rollback(); }), sessionClosed);
    EXPECT_EQ(thrownBy([&] { delete qs->createSender(e.queue.get()); }), sessionClosed);
    Owned<jms::Message> stillMade(qs->createTextMessage(u"fine"));
    thrownBy([&] { qs->commit(); });  // not checked locally: the provider answers
    EXPECT_EQ(control_.calls("commit"), 1);
    EXPECT_EQ(control_.calls("closeSession"), 1);
}

TEST_F(Lifetime, AnInvalidatedSessionClosesAtItsNextCheckWithoutTellingTheProvider) {
    auto e = endpoints();
    auto& qs = e.session;
    control_.fail("produce", "SessionIDException");
    EXPECT_EQ(thrownBy([&] { e.sender->send(e.message.get()); }), "SessionIDException|");
    EXPECT_EQ(stateOf(*qs), SessionState::Invalidated);
    EXPECT_EQ(thrownBy([&] { qs->close(); }), "sessionClosed: close|");
    EXPECT_EQ(stateOf(*qs), SessionState::Closed);
    EXPECT_EQ(control_.calls("closeSession"), 0);
    e.expectUnusable();
}

TEST_F(Lifetime, DeletingTheConnectionFirstLeavesItsSessionsClosedAndDetached) {
    auto e = endpoints();
    auto& qs = e.session;
    put(u"q", u"p");
    Owned<jms::QueueBrowser> peek(qs->createBrowser(e.queue.get()));
    EXPECT_TRUE(peek->getEnumeration()->hasMoreElements());  // fetched, never handed out
    control_.reset();
    connection_.reset();
    e.expectUnusable();
    EXPECT_EQ(thrownBy([&] { qs->close(); }), "sessionClosed: close|");
    EXPECT_EQ(control_.calls("closeSession") + control_.calls("closeConnection"), 0);
    // The objects go in the wrong order too.
    qs.reset();
    e.sender.reset();
    e.browser.reset();
}

TEST_F(Lifetime, DeletingASessionOrOpenEndpointsLeavesTheRestWorking) {
    auto e = endpoints();
    auto& qs = e.session;
    e.sender.reset();  // open: it leaves the registry
    Owned<jms::QueueSender> sender(qs->createSender(e.queue.get()));
    sender->send(e.message.get());
    Owned<jms::Message> got(e.receiver->receive(2000));
    EXPECT_EQ(textOf(got.get()), "m");

    qs.reset();
    EXPECT_EQ(thrownBy([&] { sender->send(e.message.get()); }), sessionClosed);
    EXPECT_EQ(thrownBy([&] { delete e.receiver->receiveNoWait(); }), sessionClosed);
    EXPECT_TRUE(closedEndpoint(*e.receiver));
}

}  // namespace
}  // namespace qjms::test
