#include <jms/BrokerException.h>

#include <omniORB4/CORBA.h>

namespace jms {

namespace {

WString fromAscii(const char* text) {
    const std::string s = text ? text : "";
    return WString(s.begin(), s.end());
}

std::unique_ptr<CORBA::Exception> copyOf(const CORBA::Exception& e) {
    return std::unique_ptr<CORBA::Exception>(CORBA::Exception::_duplicate(&e));
}

}  // namespace

BrokerException::BrokerException(const CORBA::Exception& original) : original_(copyOf(original)) {}
BrokerException::BrokerException(const BrokerException& other)
    : Exception(other), original_(copyOf(*other.original_)) {}
BrokerException::~BrokerException() = default;

WString BrokerException::getName() const { return fromAscii(original_->_name()); }
WString BrokerException::getRepositoryId() const { return fromAscii(original_->_rep_id()); }
const CORBA::Exception& BrokerException::getOriginal() const { return *original_; }

}  // namespace jms
