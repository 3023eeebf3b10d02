#ifndef JMS_CONNECTIONFACTORY_H
#define JMS_CONNECTIONFACTORY_H

#include <jms/Export.h>

namespace jms {

/// The common face of the connection factories; it has no operations.
class JMS_API ConnectionFactory {
public:
    ConnectionFactory() = default;
    ConnectionFactory(const ConnectionFactory&) = default;
    ConnectionFactory& operator=(const ConnectionFactory&) = default;
    virtual ~ConnectionFactory();
};

}  // namespace jms

#endif
