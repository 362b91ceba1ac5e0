// Small MRC files for the MRC test suites, built byte by byte so that the readers are checked
// against the format rather than against the writers.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "io/mrc_header.h"

using Bytes = std::vector<unsigned char>;

// A new header with the given sizes and mode.
inline MRC_HEAD mrc_test_head(int nx, int ny, int nz, int mode) {
  MRC_HEAD head;
  mrc_init_head(&head);
  mrc_set_head_xyz_mode(&head, nx, ny, nz, mode);
  return head;
}

// The raw bytes of values of any element type, in native order.
template <class T>
Bytes mrc_test_elements(const std::vector<T>& values) {
  Bytes bytes(values.size() * sizeof(T));
  if (!values.empty()) memcpy(bytes.data(), values.data(), bytes.size());
  return bytes;
}

inline void write_test_file(const std::string& path, const Bytes& bytes) {
  FILE* file = fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  if (!bytes.empty()) fwrite(bytes.data(), 1, bytes.size(), file);
  fclose(file);
}

// The header's 1024 bytes followed by the data bytes.
inline Bytes mrc_test_file_bytes(const MRC_HEAD& head, const Bytes& data) {
  Bytes bytes(sizeof(MRC_HEAD) + data.size());
  memcpy(bytes.data(), &head, sizeof(MRC_HEAD));
  std::copy(data.begin(), data.end(), bytes.begin() + sizeof(MRC_HEAD));
  return bytes;
}

inline void write_test_mrc(const std::string& path, const MRC_HEAD& head, const Bytes& data) {
  write_test_file(path, mrc_test_file_bytes(head, data));
}

// The file with `extended` bytes of extended header put between its header and its data, and their
// count in the header.
inline Bytes with_extended_header(const Bytes& file, const Bytes& extended) {
  Bytes bytes(file.size() + extended.size());
  std::copy(file.begin(), file.begin() + 1024, bytes.begin());
  std::copy(extended.begin(), extended.end(), bytes.begin() + 1024);
  std::copy(file.begin() + 1024, file.end(), bytes.begin() + 1024 + extended.size());
  const int32_t next = int32_t(extended.size());
  memcpy(bytes.data() + 92, &next, 4);
  return bytes;
}

// A little-endian file as a big-endian machine writes it: the header's numbers (bytes 0..95, the
// IMOD stamp and flags at 152..159, the origin at 196..207, rms and nlabl at 216..223) and every
// data element of element_size bytes reversed, and the machine stamp 0x11 0x11 0 0. The extended
// header is left as it is.
inline Bytes big_endian_mrc(const Bytes& file, size_t element_size) {
  Bytes bytes = file;
  auto reverse = [&](size_t begin, size_t end, size_t size) {
    for (size_t i = begin; i + size <= end; i += size) std::reverse(bytes.begin() + i, bytes.begin() + i + size);
  };
  int32_t next;
  memcpy(&next, file.data() + 92, 4);
  for (const auto& range : {std::pair<size_t, size_t>{0, 96}, {152, 160}, {196, 208}, {216, 224}})
    reverse(range.first, range.second, 4);
  reverse(1024 + size_t(next), bytes.size(), element_size);
  const unsigned char stamp[4] = {0x11, 0x11, 0, 0};
  memcpy(bytes.data() + 212, stamp, 4);
  return bytes;
}

inline Bytes read_test_file(const std::string& path) {
  Bytes bytes;
  FILE* file = fopen(path.c_str(), "rb");
  if (!file) return bytes;
  int c;
  while ((c = fgetc(file)) != EOF) bytes.push_back(static_cast<unsigned char>(c));
  fclose(file);
  return bytes;
}

template <class T>
T value_at(const Bytes& bytes, size_t offset) {
  T value;
  memcpy(&value, bytes.data() + offset, sizeof(T));
  return value;
}

// What a statement run in a child process printed and the status it exited with (-1 when it
// returned or did not end by exit).
struct ChildResult {
  int status;
  std::string output;
};

template <class F>
ChildResult run_in_child(F&& statement) {
  char path[] = "/tmp/quib_child_XXXXXX";
  const int fd = mkstemp(path);
  fflush(stdout);
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(fd, STDOUT_FILENO);
    statement();
    fflush(stdout);
    _exit(255);
  }
  int wait_status = 0;
  waitpid(pid, &wait_status, 0);
  close(fd);
  ChildResult result{-1, ""};
  if (WIFEXITED(wait_status) && WEXITSTATUS(wait_status) != 255) result.status = WEXITSTATUS(wait_status);
  for (unsigned char c : read_test_file(path)) result.output += char(c);
  unlink(path);
  return result;
}
