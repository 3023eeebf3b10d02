#ifndef JMS_BROKEREXCEPTION_H
#define JMS_BROKEREXCEPTION_H

#include <memory>

#include <jms/JMSException.h>

namespace CORBA {
class Exception;
}

namespace jms {

/// A CORBA exception that no call site translates (a provider exception the
/// operation does not list, or a broker system exception), kept as the
/// linked exception of the JMSException it became. That JMSException owns
/// it: it stays valid while the JMSException or a copy lives.
class JMS_API BrokerException : public Exception {
public:
    /// Keeps its own copy of `original`.
    explicit BrokerException(const CORBA::Exception& original);
    BrokerException(const BrokerException& other);
    BrokerException& operator=(const BrokerException&) = delete;
    ~BrokerException() override;

    /// The exception's name: "StoreException", "TRANSIENT", ...
    WString getName() const;
    /// Its repository ID: "IDL:omg.org/CORBA/TRANSIENT:1.0", ...
    WString getRepositoryId() const;
    /// The copy itself, for callers that use omniORB (its _downcast, a
    /// system exception's minor code and completion status).
    const CORBA::Exception& getOriginal() const;

private:
    std::unique_ptr<CORBA::Exception> original_;
};

}  // namespace jms

#endif
