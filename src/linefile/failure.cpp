#include "linefile/failure.h"

#include <cstring>

Exception::Exception(const char* message) {
  std::size_t length = std::strlen(message);
  if (length >= sizeof message_) length = sizeof message_ - 1;
  std::memcpy(message_, message, length);
  message_[length] = '\0';
}
