// Exit statuses, what bad input leaves undone, Ctrl-C in a transaction, and
// the help texts.
#include <signal.h>

#include <chrono>
#include <thread>

#include "QjmsFixture.h"

namespace qjms::test {
namespace {

class Outcomes : public QjmsE2E {
protected:
    long sends() { return control.calls("produce") + control.calls("produceTo"); }

    // Polls the provider until `operation` was called `times` times.
    void awaitCalls(const std::string& operation, long times) {
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (control.calls(operation) < times) {
            ASSERT_LT(std::chrono::steady_clock::now(), giveUp) << operation;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
};

TEST_F(Outcomes, EveryExitStatusAndBadInputSendsNothing) {
    struct Row {
        std::vector<std::string> args;
        std::string input;
        int status;
        std::string err;  // part of standard error
        bool withIor = true;
    };
    const Row rows[] = {
        {{"info"}, "", 0, ""},
        {{"send", "q", "--persistent", "x"}, "", 1, "qjms: unsupByDriverPM\n"},
        {{"perf", "--persistent", "--count", "1"}, "", 1, "qjms: unsupByDriverPM\n"},
        {{"receive", "q", "--selector", "n =="}, "", 1, "qjms: selector CltException.ERR_CONSUMER_CREATE\n"},
        {{"info", "--driver", "other"}, "", 1, "(error code CltException::ERR_CONNECTION_CREATE)\n"},
        {{"receive", "empty", "--count", "2", "--timeout", "100"}, "", 3, ""},
        {{"send", "q", "--property", "n:integer=5", "x"}, "", 2, "unknown type 'integer'"},
        {{"send", "q", "--property", "n:int=five", "x"}, "", 2, "not a number"},
        {{"send", "q", "--property", "n:byte=128", "x"}, "", 2, "not a number in the range"},
        {{"send", "q", "--property", "ok:boolean=yes", "x"}, "", 2, "true or false"},
        {{"send", "q", "--property", "novalue", "x"}, "", 2, "NAME[:TYPE]=VALUE"},
        {{"send", "q", "--lines"}, "good\n\xff\xfe\n", 2, "line 2 of standard input is not valid UTF-8"},
        {{"send", "q", "--file", "/nonexistent/body"}, "", 2, "cannot read /nonexistent/body"},
        {{"send", "q", "--reply-to", "mailbox:x", "x"}, "", 2, "queue:NAME or topic:NAME"},
        {{"send", "q", "--priority", "10", "x"}, "", 2, "--priority"},
        {{"send", "q", "--batch", "5", "x"}, "", 2, "--transacted"},
        {{"send", "q", "--user", "alice", "x"}, "", 2, "QJMS_PASSWORD"},
        {{"subscribe", "t", "--no-local"}, "", 2, "noLocal"},
        {{"receive", "q", "--listener", "--transacted"}, "", 2, "--transacted"},
        {{"frobnicate"}, "", 2, ""},
        {{"send", "q", "x"}, "", 2, "no reference file: give --ior FILE or set QJMS_IOR", false},
        {{"--ior", "/nonexistent.ior", "send", "q", "x"}, "", 2, "cannot read the reference file", false},
    };
    for (const Row& row : rows) {
        const std::string shown = ::testing::PrintToString(row.args);
        const QjmsResult r = row.withIor ? qjms(row.args, row.input) : runQjms(row.args, row.input);
        EXPECT_EQ(r.status, row.status) << shown << "\n" << r.err;
        EXPECT_NE(r.err.find(row.err), std::string::npos) << shown << "\n" << r.err;
        EXPECT_EQ(sends(), 0) << shown;
    }
}

TEST_F(Outcomes, CredentialsComeFromTheEnvironmentOrAFile) {
    ProviderProcess guarded({"--user", "alice:secret"});
    const std::string file = "/tmp/qjms-e2e-password-" + std::to_string(getpid());
    writeFile(file, "wrong\n");
    const std::map<std::string, std::string> env = {{"QJMS_IOR", guarded.iorFile()},
                                                    {"QJMS_PASSWORD", "secret"}};
    EXPECT_EQ(runQjms({"info", "--user", "alice"}, "", env).status, 0);
    const QjmsResult refused = runQjms({"info", "--user", "alice", "--password-file", file}, "", env);
    std::remove(file.c_str());
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("(error code "), std::string::npos) << refused.err;
}

TEST_F(Outcomes, CtrlCClosesCleanlyAndPutsBackWhatWasNotCommitted) {
    // A send batch far too long to finish, interrupted after some sends.
    QjmsProcess sending({"--ior", provider.iorFile(), "send", "tx", "--transacted", "--count",
                         "10000000", "lost"});
    awaitCalls("produce", 5);
    sending.signal(SIGINT);
    EXPECT_EQ(sending.finish().status, 130);
    EXPECT_EQ(qjms({"browse", "tx", "--json"}).out, "");

    // Received in a transaction, then interrupted while waiting for more.
    ASSERT_EQ(qjms({"send", "rx", "a", "b"}).status, 0);
    const long waitsBefore = control.calls("consumeTimeOut");
    QjmsProcess receiving({"--ior", provider.iorFile(), "receive", "rx", "--transacted", "--count",
                           "3", "--timeout", "0", "--body-only"});
    awaitCalls("consumeTimeOut", waitsBefore + 3);
    receiving.signal(SIGINT);
    const QjmsResult r = receiving.finish();
    EXPECT_EQ(r.status, 130);
    EXPECT_EQ(r.out, "a\nb\n");
    const auto back = messages(qjms({"receive", "rx", "--json"}));
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[0]["redelivered"], true);
}

// Each command's help names its usage and a sample of its options.
TEST_F(Outcomes, HelpTextsAreCompleteAndFitATerminal) {
    const std::vector<std::vector<std::string>> rows = {
        {"", "Usage: qjms [connection options] COMMAND", "unsubscribe", "--password-file", "QJMS_PASSWORD", "130"},
        {"info", "info [--json]"},
        {"send", "send QUEUE [BODY...]", "--lines", "double or string", "--correlation-id", "--batch"},
        {"publish", "publish TOPIC [BODY...]", "--reply-to"},
        {"receive", "receive QUEUE", "--listener", "--body-only"},
        {"subscribe", "subscribe TOPIC", "--durable", "--no-local"},
        {"unsubscribe", "unsubscribe NAME", "--client-id"},
        {"browse", "browse QUEUE", "--selector"},
        {"perf", "--producers", "--duration", "--listener"},
    };
    for (const auto& row : rows) {
        const QjmsResult r = row[0].empty() ? runQjms({"--help"}) : runQjms({row[0], "--help"});
        EXPECT_EQ(r.status, 0) << row[0];
        EXPECT_EQ(r.err, "") << row[0];
        for (size_t i = 1; i < row.size(); ++i) EXPECT_THAT(r.out, ::testing::HasSubstr(row[i])) << row[0];
        std::istringstream lines(r.out);
        for (std::string line; std::getline(lines, line);) EXPECT_LE(line.size(), 100u) << line;
    }
}

}  // namespace
}  // namespace qjms::test
