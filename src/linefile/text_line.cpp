#include "linefile/text_line.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

TextLine::~TextLine() { std::free(data_); }

void TextLine::append(const char* bytes, std::size_t size) {
  if (size == 0) return;
  if (size > SIZE_MAX - size_) throw std::bad_alloc();
  Reserve(size_ + size);
  std::memcpy(data_ + size_, bytes, size);
  size_ += size;
}

void TextLine::resize(std::size_t size) {
  if (size > size_) {
    Reserve(size);
    std::memset(data_ + size_, 0, size - size_);
  }
  size_ = size;
}

void TextLine::swap(TextLine& other) {
  std::swap(data_, other.data_);
  std::swap(size_, other.size_);
  std::swap(capacity_, other.capacity_);
}

[[gnu::noinline]] void TextLine::Reserve(std::size_t size) {
  if (size <= capacity_) return;
  std::size_t capacity = capacity_ < 64 ? 64 : capacity_;
  while (capacity < size) {
    if (capacity > SIZE_MAX / 2) {
      capacity = size;
      break;
    }
    capacity *= 2;
  }
  for (;;) {
    if (void* grown = std::realloc(data_, capacity)) {
      data_ = static_cast<char*>(grown);
      capacity_ = capacity;
      return;
    }
    std::new_handler handler = std::get_new_handler();
    if (handler == nullptr) throw std::bad_alloc();
    handler();
  }
}
