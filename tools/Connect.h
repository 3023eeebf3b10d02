#pragma once
// Opening a connection from the command line's connection options, and
// closing it again whatever happens.
#include <memory>
#include <string>

#include <jms/jms.h>

namespace qjms::cli {

struct ConnectionOptions {
    std::string ior;           // reference file; empty: $QJMS_IOR
    std::string driver = "vol";
    std::string user;
    std::string passwordFile;  // empty: $QJMS_PASSWORD
    std::string clientId;
};

// Checked before any connection: the reference file is readable and the
// credentials complete. Throws UsageError.
struct ConnectionSettings {
    jms::WString iorFile;
    jms::WString driver;
    jms::WString user;
    jms::WString password;
    jms::WString clientId;
    bool withUser = false;
};
ConnectionSettings resolve(const ConnectionOptions& options);

// One connection, closed at the provider when this goes (errors then are
// dropped: the command's own outcome is what matters). Keeps the library's
// entry point alive as long as the connection.
// Lets connections of both kinds be held together.
class AnyLink {
public:
    virtual ~AnyLink() = default;
};

template <class Face>
class Link : public AnyLink {
public:
    Link(const jms::ImplDepFactory& entry, std::unique_ptr<Face> connection)
        : entry_(entry), connection_(std::move(connection)) {}
    Link(Link&&) = default;
    ~Link() override {
        try {
            if (connection_) connection_->close();
        } catch (const jms::JMSException&) {
        }
        connection_.reset();
    }
    // Closes now, reporting a failure.
    void close() {
        connection_->close();
        connection_.reset();
    }
    Face* operator->() const { return connection_.get(); }
    Face& operator*() const { return *connection_; }

private:
    jms::ImplDepFactory entry_;
    std::unique_ptr<Face> connection_;
};

Link<jms::QueueConnection> openQueueConnection(const ConnectionSettings& settings);
Link<jms::TopicConnection> openTopicConnection(const ConnectionSettings& settings);

}  // namespace qjms::cli
