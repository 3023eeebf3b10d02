#ifndef JMS_JMSEXCEPTION_H
#define JMS_JMSEXCEPTION_H

#include <memory>

#include <jms/Types.h>

namespace jms {

/// Only ever named as the type of a linked exception.
class JMS_API Exception {
public:
    virtual ~Exception() = default;
};

/// Thrown by property getters for a property that is not set.
class JMS_API NullPointerException {
public:
    NullPointerException() = default;
    NullPointerException(const NullPointerException&) = default;
    NullPointerException& operator=(const NullPointerException&) { return *this; }
};

/// Every failure the library reports. Thrown by value, caught by reference.
class JMS_API JMSException {
public:
    JMSException(const WString& reason, const WString& errorCode);
    explicit JMSException(const WString& reason);
    JMSException(const JMSException& other);
    JMSException& operator=(const JMSException&) = delete;
    virtual ~JMSException();

    /// The error code ("CltException::NONE", ...); empty unless given.
    virtual WString getErrorCode() const;
    /// The message text.
    virtual WString getMessage() const;
    /// The linked exception last set or adopted, or null.
    virtual Exception* getLinkedException() const;
    /// Stores the pointer; the caller keeps ownership.
    virtual void setLinkedException(Exception* linked);
    /// The message immediately followed by the error code.
    virtual WString toString() const;

    /// Links an exception that this one and its copies own together: it
    /// lives as long as the last of them (a later setLinkedException does not
    /// release it, a later adoption does). The library links a
    /// BrokerException this way.
    void adoptLinkedException(std::shared_ptr<Exception> linked);

private:
    WString reason_;
    WString errorCode_;
    Exception* linked_ = nullptr;
    std::shared_ptr<Exception> adopted_;
};

#define JMS_DECLARE_EXCEPTION(Name)                                   \
    class JMS_API Name : public JMSException {                        \
    public:                                                           \
        Name(const WString& reason, const WString& errorCode);        \
        explicit Name(const WString& reason);                         \
        Name(const Name& other);                                      \
        ~Name() override;                                             \
    }

JMS_DECLARE_EXCEPTION(IllegalStateException);
JMS_DECLARE_EXCEPTION(InvalidClientIDException);
JMS_DECLARE_EXCEPTION(InvalidDestinationException);
JMS_DECLARE_EXCEPTION(InvalidSelectorException);
JMS_DECLARE_EXCEPTION(JMSSecurityException);
JMS_DECLARE_EXCEPTION(MessageEOFException);
JMS_DECLARE_EXCEPTION(MessageFormatException);
JMS_DECLARE_EXCEPTION(MessageNotReadableException);
JMS_DECLARE_EXCEPTION(MessageNotWriteableException);
JMS_DECLARE_EXCEPTION(NoSuchElementException);
JMS_DECLARE_EXCEPTION(ResourceAllocationException);
JMS_DECLARE_EXCEPTION(TransactionInProgressException);
JMS_DECLARE_EXCEPTION(TransactionRolledBackException);

#undef JMS_DECLARE_EXCEPTION

/// An operation the library does not carry out.
class JMS_API NotImplementedException : public JMSException {
public:
    /// Message "C++ runtime: not implemented".
    NotImplementedException();
    NotImplementedException(const WString& reason, const WString& errorCode);
    explicit NotImplementedException(const WString& reason);
    NotImplementedException(const NotImplementedException& other);
    ~NotImplementedException() override;
};

}  // namespace jms

#endif
