#ifndef SSG_BYTEBUFFER_H
#define SSG_BYTEBUFFER_H

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>

// A growable run of bytes for messages between workers: appending does not
// zero what it adds (a std::vector<char> would), and clear() keeps the
// capacity, so a buffer reused level after level allocates only while it
// grows.
class ByteBuffer {
public:
  std::size_t size() const { return Size; }
  bool empty() const { return Size == 0; }
  char* data() { return Data.get(); }
  const char* data() const { return Data.get(); }
  void clear() { Size = 0; }
  // Makes the buffer `bytes` long; new bytes are undefined.
  void resize(std::size_t bytes) {
    reserve(bytes);
    Size = bytes;
  }
  // Appends `bytes` undefined bytes; their start.
  char* grow(std::size_t bytes) {
    reserve(Size + bytes);
    char* at = Data.get() + Size;
    Size += bytes;
    return at;
  }
  void append(const void* bytes, std::size_t count) {
    if (count > 0)
      std::memcpy(grow(count), bytes, count);
  }
  template <class T> void put(const T& value) {
    std::memcpy(grow(sizeof value), &value, sizeof value);
  }
  void reserve(std::size_t bytes) {
    if (bytes <= Capacity)
      return;
    const std::size_t capacity = std::max(bytes, 2 * Capacity);
    std::unique_ptr<char[]> fresh(new char[capacity]);
    if (Size > 0)
      std::memcpy(fresh.get(), Data.get(), Size);
    Data = std::move(fresh);
    Capacity = capacity;
  }

private:
  std::unique_ptr<char[]> Data;
  std::size_t Size = 0;
  std::size_t Capacity = 0;
};

#endif
