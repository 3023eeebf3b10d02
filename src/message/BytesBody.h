#ifndef QJMS_MESSAGE_BYTESBODY_H
#define QJMS_MESSAGE_BYTESBODY_H

#include <cstddef>
#include <cstdint>

#include "idl/WireTypes.h"

namespace jms {

/// The body of a bytes message, in a buffer an octet sequence of the broker
/// can share: a send lends it to the wire message without copying, a receive
/// takes over the buffer the broker filled, and a pushed message reads the
/// broker's buffer in place while its listener runs.
///
/// The buffer is allocated as omniORB's octet sequences allocate (new[]), so
/// one taken from a sequence is freed the same way.
class BytesBody {
public:
    BytesBody() = default;
    ~BytesBody();
    BytesBody(BytesBody&& other) noexcept;
    BytesBody& operator=(BytesBody&& other) noexcept;
    BytesBody(const BytesBody&) = delete;
    BytesBody& operator=(const BytesBody&) = delete;

    static BytesBody copyOf(const uint8_t* data, size_t size);
    /// The sequence's buffer, which the sequence gives up (a copy when the
    /// sequence does not own its buffer).
    static BytesBody takenFrom(wire::Bytes&& sequence);
    /// Reads `sequence` in place: valid only while it lives and is unchanged.
    static BytesBody borrowing(const wire::Bytes& sequence);

    const uint8_t* data() const { return data_; }
    size_t size() const { return size_; }

    void append(const uint8_t* data, size_t size);
    /// Empty; an owned buffer is kept for the writes that follow.
    void clear();

    /// Points `sequence` at the body without copying; valid until the body
    /// next changes. Throws "badArg: sequence too long for the wire".
    void lendTo(wire::Bytes& sequence) const;

private:
    void release() noexcept;

    uint8_t* data_ = nullptr;
    size_t size_ = 0;
    size_t capacity_ = 0;  // 0 while borrowed or empty
    bool owned_ = false;
};

}  // namespace jms

#endif
