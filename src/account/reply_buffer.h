// The body of a service reply, accumulated whole in one contiguous block of bytes.
// It starts with 2048 zero-filled bytes; when a chunk does not fit (a terminating zero
// must always remain), the capacity grows by twice the larger of the chunk size and 64,
// the new space zero-filled. So the usual small reply needs a single allocation and the
// text handed to the JSON parser is always zero-terminated.
#pragma once

#include <cstddef>
#include <vector>

class ReplyBuffer {
 public:
  static constexpr size_t kInitialCapacity = 2048;

  ReplyBuffer() : bytes_(kInitialCapacity, '\0') {}

  // Appends size bytes. Returns false (and keeps the old contents) when memory runs out.
  bool Append(const char* data, size_t size);

  const char* Text() const { return bytes_.data(); }  // zero-terminated
  size_t Length() const { return length_; }
  size_t Capacity() const { return bytes_.size(); }

 private:
  std::vector<char> bytes_;  // size() is the capacity; unused bytes are zero
  size_t length_ = 0;
};
