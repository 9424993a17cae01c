#include "account/reply_buffer.h"

#include <algorithm>
#include <cstring>
#include <new>

bool ReplyBuffer::Append(const char* data, size_t size) {
  if (size == 0) return true;
  // Keep at least one zero byte after the text.
  if (bytes_.size() - length_ <= size) {
    const size_t growth = 2 * std::max<size_t>(size, 64);
    if (growth > bytes_.max_size() - bytes_.size()) return false;
    try {
      bytes_.resize(bytes_.size() + growth, '\0');
    } catch (const std::bad_alloc&) {
      return false;
    }
  }
  std::memcpy(bytes_.data() + length_, data, size);
  length_ += size;
  return true;
}
