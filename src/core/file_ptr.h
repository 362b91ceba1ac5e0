// An owned stdio stream: the file is closed when the owner goes.
#pragma once

#include <cstdio>
#include <memory>

struct FileClose {
  void operator()(FILE* file) const { fclose(file); }
};
using FilePtr = std::unique_ptr<FILE, FileClose>;
