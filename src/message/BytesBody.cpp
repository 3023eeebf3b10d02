#include "message/BytesBody.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "idl/WireLength.h"

namespace jms {

namespace {

// CORBA::Octet and uint8_t are the same type, which makes lending and taking free.
static_assert(std::is_same_v<CORBA::Octet, uint8_t>);

}  // namespace

BytesBody::~BytesBody() { release(); }

BytesBody::BytesBody(BytesBody&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      capacity_(std::exchange(other.capacity_, 0)),
      owned_(std::exchange(other.owned_, false)) {}

BytesBody& BytesBody::operator=(BytesBody&& other) noexcept {
    if (this != &other) {
        release();
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
        capacity_ = std::exchange(other.capacity_, 0);
        owned_ = std::exchange(other.owned_, false);
    }
    return *this;
}

void BytesBody::release() noexcept {
    if (owned_) wire::Bytes::freebuf(data_);
    data_ = nullptr;
    size_ = capacity_ = 0;
    owned_ = false;
}

BytesBody BytesBody::copyOf(const uint8_t* data, size_t size) {
    BytesBody body;
    body.append(data, size);
    return body;
}

BytesBody BytesBody::takenFrom(wire::Bytes&& sequence) {
    const size_t size = sequence.length();
    if (!sequence.release()) return copyOf(sequence.get_buffer(), size);
    BytesBody body;
    body.capacity_ = sequence.maximum();
    body.data_ = sequence.get_buffer(true);
    body.size_ = size;
    body.owned_ = body.data_ != nullptr;
    return body;
}

BytesBody BytesBody::borrowing(const wire::Bytes& sequence) {
    BytesBody body;
    body.data_ = const_cast<uint8_t*>(sequence.get_buffer());
    body.size_ = sequence.length();
    return body;
}

void BytesBody::append(const uint8_t* data, size_t size) {
    if (size == 0) return;
    if (!owned_ || capacity_ - size_ < size) {
        // Geometric growth: a body written a byte at a time stays linear.
        const size_t capacity = std::max({size_ + size, 2 * capacity_, size_t(64)});
        uint8_t* grown = new uint8_t[capacity];
        if (size_ != 0) std::memcpy(grown, data_, size_);
        const size_t kept = size_;
        release();
        data_ = grown;
        size_ = kept;
        capacity_ = capacity;
        owned_ = true;
    }
    std::memcpy(data_ + size_, data, size);
    size_ += size;
}

void BytesBody::clear() {
    if (!owned_) release();
    size_ = 0;
}

void BytesBody::lendTo(wire::Bytes& sequence) const {
    const CORBA::ULong length = wireSequenceLength(size_);
    sequence.replace(length, length, data_, false);
}

}  // namespace jms
