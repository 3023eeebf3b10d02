// Quick start: connect to a provider through its reference file, look at
// what it says about itself, then start, stop and close the connection.
//
//   qjms-quickstart REFERENCE_FILE [DRIVER]
//
// REFERENCE_FILE holds the provider's stringified object reference (what
// quorix-provider writes with --ior-file). DRIVER defaults to "vol".

#include <cstdio>
#include <memory>
#include <string>

#include <jms/jms.h>

namespace {

// Wide API text to UTF-8 for the terminal.
std::string utf8(const jms::WString& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        }
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | (c >> 6));
            out += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += char(0xE0 | (c >> 12));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        } else {
            out += char(0xF0 | (c >> 18));
            out += char(0x80 | ((c >> 12) & 0x3F));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        }
    }
    return out;
}

jms::WString wide(const std::string& ascii) { return jms::WString(ascii.begin(), ascii.end()); }

// Step 1: from a reference file to a live connection.
std::unique_ptr<jms::QueueConnection> connect(const std::string& referenceFile,
                                              const std::string& driver) {
    // Reference file, driver, (unused flag), client identifier, default
    // priority and timeout of the sessions to come.
    jms::ImplDepFactory entry(wide(referenceFile), wide(driver), true, u"quickstart", 4, 0);
    std::unique_ptr<jms::QueueConnectionFactory> factory(entry.createQueueConnectionFactory());
    return std::unique_ptr<jms::QueueConnection>(factory->createQueueConnection());
}

// Step 2: what the provider says about itself.
void describeProvider(jms::Connection& connection) {
    std::unique_ptr<jms::ConnectionMetaData> md(connection.getMetaData());
    std::printf("Provider:          %s %s, JMS %s\n", utf8(md->getJMSProviderName()).c_str(),
                utf8(md->getProviderVersion()).c_str(), utf8(md->getJMSVersion()).c_str());
    std::printf("Client identifier: %s\n", utf8(connection.getClientID()).c_str());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: %s REFERENCE_FILE [DRIVER]\n", argv[0]);
        return 2;
    }
    const std::string driver = argc == 3 ? argv[2] : "vol";
    try {
        std::unique_ptr<jms::QueueConnection> connection = connect(argv[1], driver);
        std::printf("Connected through %s (driver \"%s\").\n", argv[1], driver.c_str());
        describeProvider(*connection);

        // Step 3: a connection starts stopped; messages flow only while it is started.
        connection->start();
        std::printf("Started the connection.\n");
        connection->stop();
        std::printf("Stopped the connection.\n");
        connection->close();
        std::printf("Closed the connection.\n");
        return 0;
    } catch (const jms::JMSException& e) {
        std::fprintf(stderr, "JMS failure: %s [%s]\n", utf8(e.getMessage()).c_str(),
                     utf8(e.getErrorCode()).c_str());
        return 1;
    }
}
