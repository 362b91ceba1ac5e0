#include "ctf/search_1d.h"

#include <climits>
#include <vector>

#include "arrays/array_dot.h"
#include "backend/memory.h"
#include "core/report.h"
#include "ctf/ctf_simulate.h"
#include "spectrum/rotational_average.h"
#include "stats/host_stats.h"

int defocus_grid_count(float defL, float defH, float defS) {
  const float count = (defH - defL) / defS;
  if (!(count >= 1.0f)) return 0;
  if (count >= static_cast<float>(INT_MAX)) QUIB_FATAL("ctf", "Too many defocus candidates: --defS is too small");
  return static_cast<int>(count);
}

int quib_1D_search2(float* half, float& defocus, float P, const DefocusSearchSettings& settings, FILE* log) {
  const int n = settings.box;
  const int nh = n / 2 + 1;
  half[static_cast<size_t>(n / 2) * nh] = 0.0f;
  const int count = defocus_grid_count(settings.defL, settings.defH, settings.defS);
  if (count == 0) {
    QUIB_WARNING("ctf", "The defocus search grid is empty (check --defL, --defH and --defS); --defL is used");
    defocus = settings.defL;
    return 0;
  }
  std::vector<float> average(nh);
  rotational_average_2d_half(half, average.data(), nh, n);

  std::vector<float> candidates(count);
  for (int i = 0; i < count; ++i) candidates[i] = i * settings.defS + settings.defL;
  const DeviceBuffer<float> d_average = device_copy_of(average);
  const DeviceBuffer<float> d_candidates = device_copy_of(candidates);
  DeviceBuffer<float> profiles(static_cast<size_t>(count) * nh);
  DeviceBuffer<float> d_scores(count);
  hcuda_ctf_mod_simulate_1ds_multi_defocus(profiles.get(), nh, settings.sampling, P, d_candidates.get(), count);
  hcuda_correlation_manydata_with_data(profiles.get(), d_average.get(), d_scores.get(), nh, count);
  const std::vector<float> scores = host_copy_of(d_scores);

  if (log)
    for (int i = 0; i < count; ++i) fprintf(log, "%8d %10.3f %10.6f\n", i, candidates[i], scores[i]);
  defocus = candidates[max_index(scores.data(), count)];
  return 0;
}
