#ifndef JMS_ENUMERATION_H
#define JMS_ENUMERATION_H

#include <jms/Export.h>

namespace jms {

class Message;

/// Walks the messages of a queue browser.
class JMS_API Enumeration {
public:
    Enumeration() = default;
    Enumeration(const Enumeration&) = default;
    Enumeration& operator=(const Enumeration&) = default;
    virtual ~Enumeration();

    virtual bool hasMoreElements() = 0;
    /// The next message; caller owns. Throws NoSuchElementException when
    /// there is none or an earlier fetch failed; null when this fetch failed
    /// (the next call reports why).
    virtual Message* nextElement() = 0;
};

}  // namespace jms

#endif
