// The line the tool holds: one at a time, its storage kept from one line to
// the next.
#ifndef PLAKEN_LINEFILE_TEXT_LINE_H_
#define PLAKEN_LINEFILE_TEXT_LINE_H_

#include <cstddef>
#include <string_view>

// A byte string that grows with realloc rather than by copying into a new
// block: where the allocator grows a large block in place or remaps it, as
// glibc's does, a long line never needs room for two copies of itself nor
// has its pages touched twice. Has the few members of std::string that the
// line readers and ReplaceAll use.
class TextLine {
 public:
  TextLine() = default;
  TextLine(const TextLine&) = delete;
  TextLine& operator=(const TextLine&) = delete;
  ~TextLine();

  const char* data() const { return data_; }
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  char& operator[](std::size_t index) { return data_[index]; }
  operator std::string_view() const { return {data_, size_}; }

  void clear() { size_ = 0; }
  void append(const char* bytes, std::size_t size);
  void append(std::string_view bytes) { append(bytes.data(), bytes.size()); }
  // New bytes, if any, are zero.
  void resize(std::size_t size);
  void swap(TextLine& other);

 private:
  // Makes room for `size` bytes; on a shortage calls the new-handler as
  // operator new would, and raises std::bad_alloc when there is none.
  void Reserve(std::size_t size);

  char* data_ = nullptr;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

#endif  // PLAKEN_LINEFILE_TEXT_LINE_H_
