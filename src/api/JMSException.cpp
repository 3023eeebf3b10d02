#include <jms/JMSException.h>

namespace jms {

const WString emptyWString;
const WString notImplementedWString = u"C++ runtime: not implemented";

JMSException::JMSException(const WString& reason, const WString& errorCode)
    : reason_(reason), errorCode_(errorCode) {}
JMSException::JMSException(const WString& reason) : reason_(reason) {}
JMSException::JMSException(const JMSException& other)
    : reason_(other.reason_),
      errorCode_(other.errorCode_),
      linked_(other.linked_),
      adopted_(other.adopted_) {}
JMSException::~JMSException() = default;

WString JMSException::getErrorCode() const { return errorCode_; }
WString JMSException::getMessage() const { return reason_; }
Exception* JMSException::getLinkedException() const { return linked_; }
void JMSException::setLinkedException(Exception* linked) { linked_ = linked; }
void JMSException::adoptLinkedException(std::shared_ptr<Exception> linked) {
    adopted_ = std::move(linked);
    linked_ = adopted_.get();
}
WString JMSException::toString() const { return reason_ + errorCode_; }

#define JMS_DEFINE_EXCEPTION(Name)                                                    \
    Name::Name(const WString& reason, const WString& errorCode)                       \
        : JMSException(reason, errorCode) {}                                          \
    Name::Name(const WString& reason) : JMSException(reason) {}                       \
    Name::Name(const Name& other) : JMSException(other) {}                            \
    Name::~Name() = default;

JMS_DEFINE_EXCEPTION(IllegalStateException)
JMS_DEFINE_EXCEPTION(InvalidClientIDException)
JMS_DEFINE_EXCEPTION(InvalidDestinationException)
JMS_DEFINE_EXCEPTION(InvalidSelectorException)
JMS_DEFINE_EXCEPTION(JMSSecurityException)
JMS_DEFINE_EXCEPTION(MessageEOFException)
JMS_DEFINE_EXCEPTION(MessageFormatException)
JMS_DEFINE_EXCEPTION(MessageNotReadableException)
JMS_DEFINE_EXCEPTION(MessageNotWriteableException)
JMS_DEFINE_EXCEPTION(NoSuchElementException)
JMS_DEFINE_EXCEPTION(ResourceAllocationException)
JMS_DEFINE_EXCEPTION(TransactionInProgressException)
JMS_DEFINE_EXCEPTION(TransactionRolledBackException)
JMS_DEFINE_EXCEPTION(NotImplementedException)

NotImplementedException::NotImplementedException() : JMSException(notImplementedWString) {}

}  // namespace jms
