#include "backend/workspace.h"

#include "core/report.h"

namespace {

thread_local Workspace* current_workspace = nullptr;

}  // namespace

const FftPlan2d& Workspace::fft_plan(int nx, int ny) {
  std::unique_ptr<FftPlan2d>& slot = plans_[{nx, ny}];
  if (!slot) slot = std::make_unique<FftPlan2d>(nx, ny);
  return *slot;
}

WorkspaceScope::WorkspaceScope() : outer_(current_workspace) { current_workspace = &workspace_; }

WorkspaceScope::~WorkspaceScope() { current_workspace = outer_; }

Workspace& workspace() {
  if (!current_workspace) QUIB_FATAL("workspace", "No workspace is open on this thread");
  return *current_workspace;
}

const FftPlan2d& fft_plan_2d(int nx, int ny) { return workspace().fft_plan(nx, ny); }
