// The run's workspace: the FFT plans by size, the device scratch of the library's hot paths (grown
// on demand, so repeated calls allocate nothing) and the caches that higher layers attach to it.
// The run creates one, once, by opening a WorkspaceScope at its start; everything it holds is
// released when that scope ends. A workspace belongs to the host thread that opened it: the
// library's functions reach it through workspace(), which only that thread may call.
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <typeindex>
#include <utility>
#include <vector>

#include "backend/fft_plan.h"
#include "backend/scratch_buffer.h"

class Workspace {
 public:
  Workspace() = default;
  Workspace(const Workspace&) = delete;
  Workspace& operator=(const Workspace&) = delete;

  // The plan for nx x ny images, made on first use.
  const FftPlan2d& fft_plan(int nx, int ny);

  // The T of this workspace, default-constructed on first use and destroyed with the workspace.
  // A type declared in the caller's own file keeps the attachment private to that file.
  template <class T>
  T& attachment() {
    const std::type_index key(typeid(T));
    for (auto& entry : attachments_)
      if (entry.first == key) return static_cast<Held<T>&>(*entry.second).value;
    attachments_.emplace_back(key, std::make_unique<Held<T>>());
    return static_cast<Held<T>&>(*attachments_.back().second).value;
  }

  // At least n device values of T for the user named by the type Tag. Users that may be active at
  // the same time take distinct tags, so their scratch never overlaps; contents are lost when the
  // buffer grows.
  template <class Tag, class T>
  T* scratch(size_t n) {
    GrowingDeviceBuffer<T>& buffer = attachment<Scratch<Tag, T>>();
    if (buffer.capacity() < n) ++scratch_growths_;
    return buffer.get(n);
  }

  size_t plan_count() const { return plans_.size(); }
  size_t attachment_count() const { return attachments_.size(); }
  // How often a scratch buffer was allocated or grown.
  size_t scratch_growths() const { return scratch_growths_; }

 private:
  struct Attachment {
    virtual ~Attachment() = default;
  };
  template <class T>
  struct Held : Attachment {
    T value{};
  };
  template <class Tag, class T>
  struct Scratch : GrowingDeviceBuffer<T> {};

  std::map<std::pair<int, int>, std::unique_ptr<FftPlan2d>> plans_;
  std::vector<std::pair<std::type_index, std::unique_ptr<Attachment>>> attachments_;
  size_t scratch_growths_ = 0;
};

// Opens a fresh workspace for the calling host thread for the scope's lifetime and releases it at
// the scope's end; a nested scope hides the outer workspace until it ends.
class WorkspaceScope {
 public:
  WorkspaceScope();
  ~WorkspaceScope();
  WorkspaceScope(const WorkspaceScope&) = delete;
  WorkspaceScope& operator=(const WorkspaceScope&) = delete;

 private:
  Workspace workspace_;
  Workspace* outer_;
};

// The calling thread's innermost open workspace. With none open the program ends with a fatal
// line: library code that needs a workspace must run inside a WorkspaceScope.
Workspace& workspace();

// The calling thread's workspace plan for nx x ny images.
const FftPlan2d& fft_plan_2d(int nx, int ny);
