// Failure objects. Nothing in the tool catches one but the run-level
// handler, which reports it and ends the run.
#ifndef PLAKEN_LINEFILE_FAILURE_H_
#define PLAKEN_LINEFILE_FAILURE_H_

#include <cstdint>

class Exception {
 public:
  virtual ~Exception() = default;
  virtual const char* ClassName() const { return "Exception"; }
  const char* Message() const { return message_; }
  // The place in the code where the failure was raised.
  const void* Location() const { return location_; }
  void SetLocation(const void* location) { location_ = location; }

 protected:
  // The message lives inside the object, so raising one allocates nothing
  // beyond the object itself.
  explicit Exception(const char* message);

 private:
  char message_[64];
  const void* location_ = nullptr;
};

class EInOutError : public Exception {
 public:
  EInOutError(const char* message, std::int32_t error_code,
              const void* location)
      : Exception(message), error_code_(error_code) {
    SetLocation(location);
  }
  const char* ClassName() const override { return "EInOutError"; }
  std::int32_t ErrorCode() const { return error_code_; }

 private:
  std::int32_t error_code_;
};

class EHeapException : public Exception {
 protected:
  using Exception::Exception;

 public:
  const char* ClassName() const override { return "EHeapException"; }
};

class EOutOfMemory : public EHeapException {
 public:
  EOutOfMemory() : EHeapException("Out of memory") {}
  const char* ClassName() const override { return "EOutOfMemory"; }
};

#endif  // PLAKEN_LINEFILE_FAILURE_H_
