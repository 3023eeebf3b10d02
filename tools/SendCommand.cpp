// send and publish: every body is read and checked, and every property
// parsed, before the connection is opened, so bad input sends nothing.
#include <cstdio>
#include <fstream>
#include <functional>
#include <iostream>
#include <iterator>
#include <memory>
#include <optional>

#include "Commands.h"
#include "Interrupt.h"
#include "Progress.h"
#include "Property.h"
#include "Status.h"
#include "Text.h"

namespace qjms::cli {

namespace {

struct Body {
    std::string raw;    // bytes, for --bytes
    jms::WString text;  // otherwise
};

std::string readAll(const std::string& file) {
    if (file.empty() || file == "-") {
        return std::string(std::istreambuf_iterator<char>(std::cin), {});
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) throw UsageError("cannot read " + file);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> splitLines(const std::string& all) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < all.size()) {
        size_t end = all.find('\n', start);
        if (end == std::string::npos) end = all.size();
        std::string line = all.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

std::vector<Body> loadBodies(const SendOptions& o) {
    if (!o.bodies.empty() && !o.file.empty()) {
        throw UsageError("give BODY arguments or --file, not both");
    }
    const std::string source = o.file.empty() || o.file == "-" ? "standard input" : o.file;
    std::vector<std::string> raws = o.bodies;
    if (raws.empty()) {
        std::string all = readAll(o.file);
        if (o.lines) {
            raws = splitLines(all);
        } else {
            // A text read whole loses its final line break, as the shell's $(...) would.
            if (!o.bytes && !all.empty() && all.back() == '\n') all.pop_back();
            if (!o.bytes && !all.empty() && all.back() == '\r') all.pop_back();
            raws.push_back(std::move(all));
        }
    }
    std::vector<Body> bodies;
    for (size_t i = 0; i < raws.size(); ++i) {
        if (o.bytes) {
            bodies.push_back(Body{std::move(raws[i]), {}});
            continue;
        }
        auto text = fromUtf8(raws[i]);
        if (!text) {
            throw UsageError((!o.bodies.empty() ? "BODY " + std::to_string(i + 1)
                              : o.lines ? "line " + std::to_string(i + 1) + " of " + source
                                        : source) +
                             " is not valid UTF-8 (use --bytes for binary bodies)");
        }
        bodies.push_back(Body{{}, std::move(*text)});
    }
    return bodies;
}

struct ReplyTo {
    Kind kind;
    jms::WString name;
};

std::optional<ReplyTo> parseReplyTo(const std::string& spec) {
    if (spec.empty()) return std::nullopt;
    for (auto [prefix, kind] : {std::pair{"queue:", Kind::Queue}, std::pair{"topic:", Kind::Topic}}) {
        const std::string p = prefix;
        if (spec.compare(0, p.size(), p) == 0 && spec.size() > p.size()) {
            if (auto name = fromUtf8(spec.substr(p.size()))) return ReplyTo{kind, *name};
        }
    }
    throw UsageError("--reply-to " + spec + ": expected queue:NAME or topic:NAME");
}

// Everything about the messages but their bodies, checked up front.
struct Stamp {
    std::vector<Property> properties;
    jms::WString type;
    jms::WString correlationId;
    std::optional<ReplyTo> replyTo;
};

Stamp parseStamp(const SendOptions& o) {
    Stamp s;
    for (const std::string& spec : o.properties) s.properties.push_back(parseProperty(spec));
    auto type = fromUtf8(o.type);
    auto correlation = fromUtf8(o.correlationId);
    if (!type || !correlation) throw UsageError("--type and --correlation-id must be UTF-8");
    s.type = *type;
    s.correlationId = *correlation;
    s.replyTo = parseReplyTo(o.replyTo);
    return s;
}

// A destination of either kind named from a session of the connection; the
// library's connections offer both faces.
std::unique_ptr<jms::Destination> replyDestination(jms::Connection& connection,
                                                   jms::Session& session, const ReplyTo& to) {
    if (to.kind == Kind::Queue) {
        if (auto* queues = dynamic_cast<jms::QueueSession*>(&session)) {
            return std::unique_ptr<jms::Destination>(queues->createQueue(to.name));
        }
        auto* faces = dynamic_cast<jms::QueueConnection*>(&connection);
        if (!faces) throw UsageError("this connection cannot name a reply queue");
        std::unique_ptr<jms::QueueSession> other(faces->createQueueSession(false, jms::Session::AUTO_ACKNOWLEDGE));
        std::unique_ptr<jms::Destination> queue(other->createQueue(to.name));
        other->close();
        return queue;
    }
    if (auto* topics = dynamic_cast<jms::TopicSession*>(&session)) {
        return std::unique_ptr<jms::Destination>(topics->createTopic(to.name));
    }
    auto* faces = dynamic_cast<jms::TopicConnection*>(&connection);
    if (!faces) throw UsageError("this connection cannot name a reply topic");
    std::unique_ptr<jms::TopicSession> other(faces->createTopicSession(false, jms::Session::AUTO_ACKNOWLEDGE));
    std::unique_ptr<jms::Destination> topic(other->createTopic(to.name));
    other->close();
    return topic;
}

std::unique_ptr<jms::Message> build(jms::Session& session, const SendOptions& o, const Body& body,
                                    const Stamp& stamp, jms::Destination* replyTo) {
    std::unique_ptr<jms::Message> m;
    if (o.bytes) {
        std::unique_ptr<jms::BytesMessage> bytes(session.createBytesMessage());
        bytes->writeBytes(jms::ByteArray(body.raw.begin(), body.raw.end()));
        m = std::move(bytes);
    } else {
        m.reset(session.createTextMessage(body.text));
    }
    for (const Property& p : stamp.properties) setProperty(*m, p);
    if (!stamp.type.empty()) m->setJMSType(stamp.type);
    if (!stamp.correlationId.empty()) m->setJMSCorrelationID(stamp.correlationId);
    if (replyTo) m->setJMSReplyTo(replyTo);
    return m;
}

void configure(jms::MessageProducer& producer, const SendOptions& o) {
    if (o.persistent) producer.setDeliveryMode(jms::DeliveryMode::PERSISTENT);
    if (o.nonPersistent) producer.setDeliveryMode(jms::DeliveryMode::NON_PERSISTENT);
    if (o.priority >= 0) producer.setPriority(o.priority);
    if (o.ttl >= 0) producer.setTimeToLive(o.ttl);
}

// Sends every body --count times through `send`, committing per batch.
int64_t sendAll(jms::Connection& connection, jms::Session& session, const SendOptions& o,
                const std::vector<Body>& bodies, const Stamp& stamp,
                const std::function<void(jms::Message*)>& send) {
    std::unique_ptr<jms::Destination> replyTo;
    if (stamp.replyTo) replyTo = replyDestination(connection, session, *stamp.replyTo);

    Progress progress("sent", int64_t(bodies.size()) * o.count);
    int64_t sent = 0;
    for (const Body& body : bodies) {
        std::unique_ptr<jms::Message> message = build(session, o, body, stamp, replyTo.get());
        for (int64_t copy = 0; copy < o.count; ++copy) {
            checkInterrupted();
            send(message.get());
            progress.add();
            if (o.transacted && o.batch > 0 && ++sent % o.batch == 0) session.commit();
        }
    }
    if (o.transacted) session.commit();
    progress.finish();
    return int64_t(bodies.size()) * o.count;
}

}  // namespace

int runSend(const ConnectionOptions& connectionOptions, const SendOptions& o) {
    const ConnectionSettings settings = resolve(connectionOptions);
    const std::vector<Body> bodies = loadBodies(o);
    const Stamp stamp = parseStamp(o);
    const auto name = fromUtf8(o.destination);
    if (!name || name->empty()) throw UsageError("bad destination name");
    int64_t sent = 0;
    std::string where;
    if (o.kind == Kind::Queue) {
        auto connection = openQueueConnection(settings);
        std::unique_ptr<jms::QueueSession> session(
            connection->createQueueSession(o.transacted, jms::Session::AUTO_ACKNOWLEDGE));
        std::unique_ptr<jms::Queue> queue(session->createQueue(*name));
        std::unique_ptr<jms::QueueSender> sender(session->createSender(queue.get()));
        configure(*sender, o);
        sent = sendAll(*connection, *session, o, bodies, stamp, [&](jms::Message* m) { sender->send(m); });
        connection.close();
        where = "queue:";
    } else {
        auto connection = openTopicConnection(settings);
        std::unique_ptr<jms::TopicSession> session(
            connection->createTopicSession(o.transacted, jms::Session::AUTO_ACKNOWLEDGE));
        std::unique_ptr<jms::Topic> topic(session->createTopic(*name));
        std::unique_ptr<jms::TopicPublisher> publisher(session->createPublisher(topic.get()));
        configure(*publisher, o);
        sent = sendAll(*connection, *session, o, bodies, stamp, [&](jms::Message* m) { publisher->publish(m); });
        connection.close();
        where = "topic:";
    }
    std::printf("sent %lld message%s to %s%s\n", static_cast<long long>(sent), sent == 1 ? "" : "s",
                where.c_str(), o.destination.c_str());
    return kDone;
}

}  // namespace qjms::cli
