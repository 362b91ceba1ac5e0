// Owned files: a stdio stream or a POSIX file descriptor, closed when the owner goes.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <memory>
#include <utility>

struct FileClose {
  void operator()(FILE* file) const { fclose(file); }
};
using FilePtr = std::unique_ptr<FILE, FileClose>;

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd = -1) : fd_(fd) {}
  FileDescriptor(FileDescriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  FileDescriptor& operator=(FileDescriptor&& other) noexcept {
    if (this != &other) {
      reset();
      fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() { reset(); }

  int get() const { return fd_; }
  explicit operator bool() const { return fd_ >= 0; }
  // Closes the descriptor; false when closing reported an error (a write that failed late).
  bool reset() {
    if (fd_ < 0) return true;
    return close(std::exchange(fd_, -1)) == 0;
  }

 private:
  int fd_;
};
