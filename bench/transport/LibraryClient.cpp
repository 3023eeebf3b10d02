// The same work through the library's public API alone.
#include <jms/jms.h>

#include <stdexcept>

#include "Client.h"
#include "PushCount.h"

namespace bench {

namespace {

jms::WString wide(const std::string& s) { return jms::WString(s.begin(), s.end()); }

// The library's failures as the bench reports them.
[[noreturn]] void rethrow(const jms::JMSException& e) {
  const jms::WString m = e.getMessage();
  throw std::runtime_error("library: " + std::string(m.begin(), m.end()));
}

class Counter : public jms::MessageListener {
 public:
  void onMessage(jms::Message*) override { pushes.arrived(); }
  PushCount pushes;
};

class LibraryClient : public Client {
 public:
  LibraryClient(const std::string& referenceFile, const std::string& queue)
      : entry_(wide(referenceFile), u"vol", true, u"", 4, 0) {
    try {
      open(queue);
    } catch (const jms::JMSException& e) {
      rethrow(e);
    }
  }

  void open(const std::string& queue) {
    factory_.reset(entry_.createQueueConnectionFactory());
    connection_.reset(factory_->createQueueConnection());
    session_.reset(connection_->createQueueSession(false, jms::Session::AUTO_ACKNOWLEDGE));
    queue_.reset(session_->createQueue(wide(queue)));
    sender_.reset(session_->createSender(queue_.get()));
    receiver_.reset(session_->createReceiver(queue_.get()));
    connection_->start();
  }

  ~LibraryClient() override {
    try {
      connection_->close();
    } catch (const jms::JMSException&) {
    }
  }

  void prepare(const Workload& work) override {
    if (work.body == Body::Text) {
      jms::WString text(work.size, u'a');
      for (size_t i = 0; i < text.size(); ++i) text[i] = char16_t(u'a' + i % 26);
      message_.reset(session_->createTextMessage(text));
    } else {
      jms::ByteArray body(work.size);
      for (size_t i = 0; i < body.size(); ++i) body[i] = static_cast<uint8_t>(i);
      std::unique_ptr<jms::BytesMessage> bytes(session_->createBytesMessage());
      bytes->writeBytes(body);
      message_ = std::move(bytes);
    }
  }

  void send() override {
    try {
      sender_->send(message_.get());
    } catch (const jms::JMSException& e) {
      rethrow(e);
    }
  }

  bool receiveNoWait() override {
    try {
      std::unique_ptr<jms::Message> m(receiver_->receiveNoWait());
      return m != nullptr;
    } catch (const jms::JMSException& e) {
      rethrow(e);
    }
  }

  void receive() override { std::unique_ptr<jms::Message> m(receiver_->receive()); }

  bool receiveFor(int64_t ms) override {
    std::unique_ptr<jms::Message> m(receiver_->receive(ms));
    return m != nullptr;
  }

  bool pushed(uint64_t count, int64_t timeoutMs) override {
    try {
      std::unique_ptr<jms::QueueReceiver> consumer(session_->createReceiver(queue_.get()));
      consumer->setMessageListener(&counter_);
      const bool ok = counter_.pushes.waitFor(count, timeoutMs);
      consumer->close();
      return ok;
    } catch (const jms::JMSException& e) {
      rethrow(e);
    }
  }

 private:
  jms::ImplDepFactory entry_;
  std::unique_ptr<jms::QueueConnectionFactory> factory_;
  std::unique_ptr<jms::QueueConnection> connection_;
  std::unique_ptr<jms::QueueSession> session_;
  std::unique_ptr<jms::Queue> queue_;
  std::unique_ptr<jms::QueueSender> sender_;
  std::unique_ptr<jms::QueueReceiver> receiver_;
  std::unique_ptr<jms::Message> message_;
  Counter counter_;
};

}  // namespace

std::unique_ptr<Client> makeLibraryClient(const std::string& referenceFile,
                                          const std::string& queue) {
  return std::make_unique<LibraryClient>(referenceFile, queue);
}

}  // namespace bench
