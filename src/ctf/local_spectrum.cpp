#include "ctf/local_spectrum.h"

#include "ctf/local_weights.h"
#include "spectrum/box_spectra.h"
#include "spectrum/spectrum_background.h"

namespace {

size_t half_spectrum_size(const LocalGrid& g) { return static_cast<size_t>(g.box / 2 + 1) * g.box; }

// Uploads the neighbourhood's weights and says where they are.
BoxSpectrumWeights upload_weights(const std::vector<NeighbourBox>& near, const LocalWeighting& w, int box,
                                  LocalAverageScratch& s) {
  const size_t count = near.size();
  BoxSpectrumWeights weights;
  if (w.type == kLocalDistanceWeights) {
    for (size_t k = 0; k < count; ++k) s.host_per_box[k] = local_distance_weight(near[k].distance, w.radius);
    memcpy_H2D(s.per_box.get(), s.host_per_box.data(), count * sizeof(float));
    weights.per_box = s.per_box.get();
  } else if (w.type == kLocalFrequencyWeights) {
    const int nh = box / 2 + 1;
    for (size_t k = 0; k < count; ++k)
      local_frequency_weight_factors(&s.host_columns[k * nh], &s.host_rows[k * box], near[k].distance, w.radius, nh,
                                     box, w.apix, w.resolution);
    memcpy_H2D(s.columns.get(), s.host_columns.data(), count * nh * sizeof(float));
    memcpy_H2D(s.rows.get(), s.host_rows.data(), count * box * sizeof(float));
    weights.columns = s.columns.get();
    weights.rows = s.rows.get();
  }
  return weights;
}

}  // namespace

std::vector<int> grid_boxes_in_use(const LocalGrid& grid,
                                   const std::vector<std::vector<NeighbourBox>>& neighbourhoods) {
  std::vector<char> used(local_grid_box_total(grid), 0);
  for (const std::vector<NeighbourBox>& near : neighbourhoods)
    for (const NeighbourBox& b : near) used[b.box] = 1;
  std::vector<int> boxes;
  for (size_t b = 0; b < used.size(); ++b)
    if (used[b]) boxes.push_back(static_cast<int>(b));
  return boxes;
}

size_t grid_spectra_bytes(const LocalGrid& grid, size_t count) {
  return count * half_spectrum_size(grid) * sizeof(float);
}

GridSpectra grid_spectra(const float* image, const LocalGrid& grid, const std::vector<int>& boxes) {
  GridSpectra out{grid, std::vector<int>(local_grid_box_total(grid), -1),
                  DeviceBuffer<float>(boxes.size() * half_spectrum_size(grid))};
  for (size_t k = 0; k < boxes.size(); ++k) out.slot[boxes[k]] = static_cast<int>(k);
  if (!boxes.empty())
    hcuda_grid_box_spectra(out.spectra.get(), image, grid.nx, grid.box, grid.box, grid.step, grid.across, boxes);
  return out;
}

LocalAverageScratch local_average_scratch(const LocalGrid& grid, size_t largest) {
  const size_t nh = grid.box / 2 + 1, ny = grid.box;
  return {DeviceBuffer<int>(largest),        DeviceBuffer<float>(largest),    DeviceBuffer<float>(largest * nh),
          DeviceBuffer<float>(largest * ny), std::vector<int>(largest),       std::vector<float>(largest),
          std::vector<float>(largest * nh),  std::vector<float>(largest * ny)};
}

void local_average_spectrum(float* out, const GridSpectra& spectra, const std::vector<NeighbourBox>& near,
                            const LocalWeighting& weighting, LocalAverageScratch& scratch) {
  const int box = spectra.grid.box, count = static_cast<int>(near.size());
  for (int k = 0; k < count; ++k) scratch.host_slots[k] = spectra.slot[near[k].box];
  memcpy_H2D(scratch.slots.get(), scratch.host_slots.data(), count * sizeof(int));
  const BoxSpectrumWeights weights = upload_weights(near, weighting, box, scratch);
  hcuda_sum_box_spectra(out, spectra.spectra.get(), scratch.slots.get(), count, box / 2 + 1, box, weights);
  hcuda_2d_fft_amp_log_subbg_inplace(out, box, box, box / 12);
}
