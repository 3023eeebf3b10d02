#include "CommandLine.h"

#include <functional>
#include <map>
#include <memory>
#include <sstream>

#include <CLI/CLI.hpp>

#include "Commands.h"
#include "Status.h"

namespace qjms::cli {

namespace {

const char* const kTopFooter = R"(Connection options may also follow the command. The library's callback endpoint
and message size limit are omniORB's: set ORBendPoint=giop:tcp:127.0.0.1: to keep
it on loopback, ORBgiopMaxMsgSize=67108864 for messages over 2 MiB.

Exit status:
  0    done
  1    the library reported a failure (its message and error code on standard
       error), or perf found lost or duplicated messages
  2    bad usage or input; nothing was sent
  3    a receive or subscribe timed out before --count messages arrived
  130  interrupted (Ctrl-C): the connection was closed cleanly and a transaction
       not yet committed rolled back
  141  standard output was closed (a pipe's reader quit); the message that could
       not be written is lost unless --transacted

Run 'qjms COMMAND --help' for the options of a command.)";

const char* const kCommandFooter = "Connection options (qjms --help) may come before or after the command.";

// Help in plain terms: usage lines of our own (CLI11's would show the
// connection options as "[OPTIONS]" only), value names without CLI11's
// validator notes, descriptions wrapped to 80 columns.
class Formatter : public CLI::Formatter {
public:
    static constexpr size_t kColumn = 30;
    static constexpr size_t kWidth = 80;
    std::map<const CLI::App*, std::string> usage;

    std::string make_usage(const CLI::App* app, std::string) const override {
        return "Usage: " + usage.at(app) + "\n";
    }
    std::string make_option_opts(const CLI::Option* opt) const override {
        return opt->get_type_size() == 0 ? "" : " " + opt->get_type_name();
    }
    std::string make_option(const CLI::Option* opt, bool positional) const override {
        const std::string name = positional ? opt->get_name() + (opt->get_expected_max() > 1 ? "..." : "")
                                            : make_option_name(opt, false) + make_option_opts(opt);
        return entry(name, opt->get_description());
    }
    std::string make_subcommand(const CLI::App* sub) const override {
        return entry(sub->get_name(), sub->get_description());
    }

private:
    static std::string entry(const std::string& name, const std::string& description) {
        std::string out = "  " + name;
        size_t column = out.size();
        if (column + 1 >= kColumn) {
            out += "\n";
            column = 0;
        }
        std::istringstream words(description);
        for (std::string word; words >> word;) {
            if (column > kColumn && column + 1 + word.size() > kWidth) {
                out += "\n";
                column = 0;
            }
            if (column < kColumn) {
                out.append(kColumn - column, ' ');
                column = kColumn;
            } else {
                out += ' ';
                ++column;
            }
            out += word;
            column += word.size();
        }
        return out + "\n";
    }
};

// A check whose description stays out of the help's value names.
CLI::Validator quiet(CLI::Validator check) {
    check.description("");
    return check;
}

struct Parsed {
    ConnectionOptions connection;
    SendOptions send[2];        // send, publish
    ReceiveOptions receive[3];  // receive, subscribe, browse
    PerfOptions perf;
    bool json = false;
    bool bodyOnly = false;
    std::string subscription;
    std::function<int()> run;
};

CLI::App* command(CLI::App& app, Formatter& formatter, const char* name, const char* usage,
                  const char* description) {
    CLI::App* sub = app.add_subcommand(name, description);
    formatter.usage[sub] = std::string("qjms [connection options] ") + usage;
    sub->footer(kCommandFooter);
    sub->group("Commands");
    sub->set_help_flag("-h,--help", "print this help and exit");
    return sub;
}

void connectionOptions(CLI::App& app, ConnectionOptions& c) {
    const char* group = "Connection options";
    app.add_option("--ior", c.ior, "the provider's reference file (default: $QJMS_IOR)")
        ->type_name("FILE")->group(group);
    app.add_option("--driver", c.driver, "the driver name the provider expects (default: vol)")
        ->type_name("NAME")->group(group);
    app.add_option("--user", c.user,
                   "connect as NAME; the password comes from $QJMS_PASSWORD or --password-file, "
                   "never from the command line")
        ->type_name("NAME")->group(group);
    app.add_option("--password-file", c.passwordFile, "read the password from the first line of FILE")
        ->type_name("FILE")->group(group);
    app.add_option("--client-id", c.clientId,
                   "the connection's client identifier (durable subscriptions need one)")
        ->type_name("ID")->group(group);
}

void sendOptions(CLI::App& sub, SendOptions& o, Kind kind) {
    o.kind = kind;
    sub.add_option(kind == Kind::Queue ? "QUEUE" : "TOPIC", o.destination, "where the messages go")->required();
    sub.add_option("BODY", o.bodies, "one message per BODY (none: read --file or standard input)");
    sub.add_option("--file", o.file, "read the body from FILE ('-': standard input)")->type_name("FILE");
    auto* lines = sub.add_flag("--lines", o.lines, "one message per line of the input");
    auto* bytes = sub.add_flag("--bytes", o.bytes,
                               "bytes messages: the input as it is, or each BODY's UTF-8 bytes");
    lines->excludes(bytes);
    sub.add_option("--count", o.count, "send each body N times (default: 1)")->type_name("N")
        ->check(quiet(CLI::PositiveNumber));
    sub.add_option("--property", o.properties,
                   "a property NAME[:TYPE]=VALUE; TYPE is boolean, byte, short, int, long, float, "
                   "double or string (the default); repeatable")
        ->type_name("NAME[:TYPE]=VALUE")->allow_extra_args(false);
    sub.add_option("--priority", o.priority, "priority 0 (lowest) to 9")->type_name("P")
        ->check(quiet(CLI::Range(0, 9)));
    sub.add_option("--ttl", o.ttl, "time to live in ms (0: never expires)")->type_name("MS")
        ->check(quiet(CLI::Range(0, 2147483647)));
    auto* persistent = sub.add_flag("--persistent", o.persistent, "persistent delivery");
    auto* nonPersistent = sub.add_flag("--non-persistent", o.nonPersistent, "non-persistent delivery");
    persistent->excludes(nonPersistent);
    sub.add_option("--type", o.type, "the JMSType header")->type_name("TYPE");
    sub.add_option("--correlation-id", o.correlationId, "the JMSCorrelationID header")->type_name("ID");
    sub.add_option("--reply-to", o.replyTo, "the JMSReplyTo header: queue:NAME or topic:NAME")
        ->type_name("DEST");
    auto* transacted = sub.add_flag("--transacted", o.transacted,
                                    "send in a transaction, committed at the end (Ctrl-C before "
                                    "then sends nothing of it)");
    sub.add_option("--batch", o.batch, "with --transacted: commit every N messages")->type_name("N")
        ->check(quiet(CLI::PositiveNumber))->needs(transacted);
}

void outputOptions(CLI::App& sub, Parsed& p) {
    auto* json = sub.add_flag("--json", p.json,
                              "one JSON object per message and line: every header field, typed "
                              "properties, text as text, bytes as base64");
    auto* body = sub.add_flag("--body-only", p.bodyOnly,
                              "bodies alone: text with a newline after each, bytes raw");
    json->excludes(body);
}

void receiveOptions(CLI::App& sub, Parsed& p, ReceiveOptions& o, Kind kind, int64_t timeout) {
    o.kind = kind;
    o.timeout = timeout;
    sub.add_option(kind == Kind::Queue ? "QUEUE" : "TOPIC", o.destination,
                   kind == Kind::Queue ? "the queue to take messages from" : "the topic to watch")
        ->required();
    sub.add_option("--count", o.count, "stop after N messages; exit 3 if the time-out comes first "
                                       "(default: 0, no limit)")
        ->type_name("N")->check(quiet(CLI::NonNegativeNumber));
    sub.add_option("--timeout", o.timeout,
                   "stop when no message came for MS ms; 0 waits for ever (default: " +
                       std::to_string(timeout) + ")")
        ->type_name("MS")->check(quiet(CLI::NonNegativeNumber));
    sub.add_option("--selector", o.selector, "only messages this JMS selector matches")->type_name("EXPR");
    auto* transacted = sub.add_flag("--transacted", o.transacted,
                                    "receive in a transaction committed at the end (Ctrl-C before "
                                    "then puts the messages back)");
    sub.add_option("--batch", o.batch, "with --transacted: commit every N messages")->type_name("N")
        ->check(quiet(CLI::PositiveNumber))->needs(transacted);
    sub.add_flag("--listener", o.listener,
                 "let the provider push messages to a listener instead of receive calls")
        ->excludes(transacted);
    outputOptions(sub, p);
}

void perfOptions(CLI::App& sub, PerfOptions& o) {
    sub.add_option("--producers", o.producers, "sending connections, one thread each (default: 1)")
        ->type_name("P")->check(quiet(CLI::Range(1, 64)));
    sub.add_option("--consumers", o.consumers, "receiving connections, one thread each (default: 1)")
        ->type_name("C")->check(quiet(CLI::Range(1, 64)));
    sub.add_option("--size", o.size, "body size: bytes, or characters with --text (default: 1024)")
        ->type_name("BYTES")->check(quiet(CLI::Range(int64_t(0), int64_t(1) << 30)));
    auto* text = sub.add_flag("--text", o.text, "text messages");
    sub.add_flag("--bytes", "bytes messages (the default)")->excludes(text);
    auto* count = sub.add_option("--count", o.count, "messages to send in all (default: 10000)")
        ->type_name("N")->check(quiet(CLI::PositiveNumber));
    sub.add_option("--duration", o.duration, "send for S seconds instead of --count")->type_name("S")
        ->check(quiet(CLI::PositiveNumber))->excludes(count);
    auto* queue = sub.add_option("--queue", o.queue,
                                 "send through this queue (default: qjms.perf; use one of its own: "
                                 "what earlier runs left there is taken and ignored)")
        ->type_name("NAME");
    sub.add_option("--topic", o.topic, "publish to this topic instead; every consumer gets every message")
        ->type_name("NAME")->excludes(queue);
    sub.add_flag("--persistent", o.persistent, "persistent delivery");
    sub.add_flag("--listener", o.listener, "consumers get messages pushed to listeners");
    sub.add_flag("--json", o.json, "the results as one JSON object");
}

}  // namespace

int runCommandLine(int argc, char** argv) {
    Parsed p;
    CLI::App app("qjms: send, receive, browse and measure messages through a JMS provider", "qjms");
    auto formatter = std::make_shared<Formatter>();
    formatter->column_width(Formatter::kColumn);
    formatter->label("Positionals", "Arguments");
    app.set_help_flag("-h,--help", "print this help and exit");
    app.formatter(formatter);
    formatter->usage[&app] = "qjms [connection options] COMMAND [options] [ARGS]";
    app.require_subcommand(1);
    app.fallthrough();
    connectionOptions(app, p.connection);

    auto* info = command(app, *formatter, "info", "info [--json]",
                         "the provider's metadata and the connection's client identifier");
    info->add_flag("--json", p.json, "one JSON object");
    info->callback([&] { p.run = [&] { return runInfo(p.connection, p.json); }; });

    for (auto [name, kind] : {std::pair{"send", Kind::Queue}, std::pair{"publish", Kind::Topic}}) {
        const bool queue = kind == Kind::Queue;
        SendOptions& o = p.send[queue ? 0 : 1];
        auto* sub = command(app, *formatter, name,
                            queue ? "send QUEUE [BODY...] [options]" : "publish TOPIC [BODY...] [options]",
                            queue ? "one message per BODY argument, or from --file / standard input"
                                  : "the same to a topic");
        sendOptions(*sub, o, kind);
        sub->callback([&p, op = &o] { p.run = [&p, op] { return runSend(p.connection, *op); }; });
    }

    auto* receive = command(app, *formatter, "receive", "receive QUEUE [options]",
                            "take messages off a queue and print them");
    receiveOptions(*receive, p, p.receive[0], Kind::Queue, 1000);
    auto* subscribe = command(app, *formatter, "subscribe", "subscribe TOPIC [options]",
                              "print what is published (durable with --durable NAME)");
    receiveOptions(*subscribe, p, p.receive[1], Kind::Topic, 0);
    subscribe->add_option("--durable", p.receive[1].durable,
                          "use (or create) the durable subscription NAME; needs --client-id")
        ->type_name("NAME");
    subscribe->add_flag("--no-local", p.receive[1].noLocal,
                        "refused (exit 2): the library offers no noLocal subscribers, and a qjms "
                        "subscriber publishes nothing itself");
    for (int i : {0, 1}) {
        (i ? subscribe : receive)->callback([&, i] {
            p.run = [&, i] { return runReceive(p.connection, p.receive[i]); };
        });
    }

    auto* unsubscribe = command(app, *formatter, "unsubscribe", "unsubscribe NAME",
                                "remove a durable subscription");
    unsubscribe->add_option("NAME", p.subscription, "the subscription; needs the --client-id that made it")
        ->required();
    unsubscribe->callback([&] { p.run = [&] { return runUnsubscribe(p.connection, p.subscription); }; });

    auto* browse = command(app, *formatter, "browse", "browse QUEUE [options]",
                           "print what is waiting without taking it");
    ReceiveOptions& browsing = p.receive[2];
    browse->add_option("QUEUE", browsing.destination, "the queue to look at")->required();
    browse->add_option("--count", browsing.count, "show at most N messages (0: all)")
        ->type_name("N")->check(quiet(CLI::NonNegativeNumber));
    browse->add_option("--selector", browsing.selector, "only messages this JMS selector matches")
        ->type_name("EXPR");
    outputOptions(*browse, p);
    browse->callback([&] { p.run = [&] { return runBrowse(p.connection, browsing); }; });

    auto* perf = command(app, *formatter, "perf", "perf [options]",
                         "measure throughput and latency against the provider");
    perfOptions(*perf, p.perf);
    perf->callback([&] { p.run = [&] { return runPerf(p.connection, p.perf); }; });

    app.footer(kTopFooter);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e) == 0 ? kDone : kBadUsage;
    }
    for (ReceiveOptions& o : p.receive) {
        o.format = p.json ? Format::Json : p.bodyOnly ? Format::BodyOnly : Format::Readable;
    }
    return p.run();
}

}  // namespace qjms::cli
