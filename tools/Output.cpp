#include "Output.h"

#include <cmath>
#include <ctime>

#include <nlohmann/json.hpp>

#include "Status.h"
#include "Text.h"

namespace qjms::cli {

namespace {

using Json = nlohmann::ordered_json;

const char* modeName(int32_t mode) {
    return mode == jms::DeliveryMode::PERSISTENT       ? "persistent"
           : mode == jms::DeliveryMode::NON_PERSISTENT ? "non-persistent"
                                                       : "unknown";
}

// JSON has no NaN or infinities; they travel as the strings strtod reads back.
template <class Real>
Json realValue(Real value) {
    if (std::isnan(value)) return "NaN";
    if (std::isinf(value)) return value > 0 ? "Infinity" : "-Infinity";
    return value;
}

Json propertyValue(const PropertyValue& value) {
    return std::visit(
        [](const auto& v) -> Json {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, jms::WString>) return toUtf8(v);
            else if constexpr (std::is_floating_point_v<T>) return realValue(v);
            else if constexpr (std::is_same_v<T, bool>) return v;
            else return int64_t(v);
        },
        value);
}

const char* bodyKindName(MessageRecord::Body kind) {
    switch (kind) {
        case MessageRecord::Body::Text: return "text";
        case MessageRecord::Body::Bytes: return "bytes";
        default: return "none";
    }
}

void hexDump(std::string& out, const std::string& bytes) {
    constexpr size_t kShown = 64;
    static constexpr char kHex[] = "0123456789abcdef";
    for (size_t row = 0; row < std::min(bytes.size(), kShown); row += 16) {
        std::string hex, ascii;
        for (size_t i = row; i < row + 16; ++i) {
            if (i >= bytes.size()) {
                hex += "   ";
                continue;
            }
            const unsigned char b = bytes[i];
            hex += {kHex[b >> 4], kHex[b & 15], ' '};
            ascii += b >= 0x20 && b < 0x7f ? char(b) : '.';
        }
        out += "               " + hex + " |" + ascii + "|\n";
    }
    if (bytes.size() > kShown) {
        out += "               ... " + std::to_string(bytes.size() - kShown) + " more bytes\n";
    }
}

void field(std::string& out, const char* name, const std::string& value) {
    out += "  ";
    out += name;
    out.append(13 - std::string(name).size(), ' ');
    out += value + "\n";
}

}  // namespace

std::string utcTime(int64_t millis) {
    const std::time_t seconds = millis / 1000;
    std::tm tm{};
    gmtime_r(&seconds, &tm);
    char text[40];
    const size_t n = std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &tm);
    std::snprintf(text + n, sizeof text - n, ".%03d UTC", int(millis % 1000));
    return text;
}

std::string readable(const MessageRecord& m) {
    std::string out = "message " + m.messageId;
    if (!m.destination.empty()) out += " on " + m.destination;
    out += "\n";
    field(out, "timestamp", utcTime(m.timestamp));
    std::string delivery = std::string(modeName(m.deliveryMode)) + ", priority " +
                           std::to_string(m.priority) + ", " +
                           (m.expiration ? "expires " + utcTime(m.expiration) : "never expires");
    if (m.redelivered) delivery += ", redelivered";
    field(out, "delivery", delivery);
    if (!m.correlationId.empty()) field(out, "correlation", m.correlationId);
    if (!m.type.empty()) field(out, "type", m.type);
    if (!m.replyTo.empty()) field(out, "reply to", m.replyTo);
    for (const Property& p : m.properties) {
        field(out, "property", toUtf8(p.name) + " (" + p.typeName() + ") = " +
                                   propertyValue(p.value).dump());
    }
    switch (m.bodyKind) {
        case MessageRecord::Body::Text: {
            std::string text;
            for (char c : m.body) text += c == '\n' ? std::string("\n               ") : std::string(1, c);
            field(out, "text", text);
            break;
        }
        case MessageRecord::Body::Bytes:
            field(out, "bytes", std::to_string(m.body.size()) + " bytes");
            hexDump(out, m.body);
            break;
        case MessageRecord::Body::None:
            field(out, "body", "none");
            break;
    }
    return out + "\n";
}

std::string jsonLine(const MessageRecord& m) {
    Json properties = Json::object();
    for (const Property& p : m.properties) {
        properties[toUtf8(p.name)] = {{"type", p.typeName()}, {"value", propertyValue(p.value)}};
    }
    Json body;
    if (m.bodyKind == MessageRecord::Body::Text) body = m.body;
    if (m.bodyKind == MessageRecord::Body::Bytes) body = base64(m.body);
    const Json line = {
        {"destination", m.destination},
        {"messageId", m.messageId},
        {"timestamp", m.timestamp},
        {"correlationId", m.correlationId},
        {"replyTo", m.replyTo.empty() ? Json() : Json(m.replyTo)},
        {"deliveryMode", modeName(m.deliveryMode)},
        {"priority", m.priority},
        {"expiration", m.expiration},
        {"redelivered", m.redelivered},
        {"type", m.type},
        {"properties", properties},
        {"bodyType", bodyKindName(m.bodyKind)},
        {"body", body},
    };
    return line.dump() + "\n";
}

std::string bodyOnly(const MessageRecord& m) {
    return m.bodyKind == MessageRecord::Body::Bytes ? m.body : m.body + "\n";
}

bool Printer::print(const MessageRecord& message) {
    const std::string text = format_ == Format::Json       ? jsonLine(message)
                             : format_ == Format::BodyOnly ? bodyOnly(message)
                                                           : readable(message);
    std::lock_guard<std::mutex> lock(mutex_);
    if (!closed_) {
        closed_ = std::fwrite(text.data(), 1, text.size(), stdout) != text.size() ||
                  std::fflush(stdout) != 0;
    }
    return !closed_;
}

void Printer::check() const {
    std::lock_guard<std::mutex> lock(mutex_);
    if (closed_) throw OutputClosed{};
}

}  // namespace qjms::cli
