#include "ctf/local_spectrum.h"

#include "ctf/local_weights.h"
#include "spectrum/box_spectra.h"
#include "spectrum/spectrum_background.h"

namespace {

size_t half_spectrum_size(const LocalGrid& g) { return static_cast<size_t>(g.box / 2 + 1) * g.box; }

// Fills the host terms of the batch with the weights its type asks for; returns the number of terms.
size_t gather_terms(const GridSpectra& spectra, const std::vector<NeighbourBox>* near, int count,
                    const LocalWeighting& w, LocalAverageScratch& s) {
  const int box = spectra.grid.box, nh = box / 2 + 1;
  size_t t = 0;
  for (int p = 0; p < count; ++p) {
    s.host_first[p] = static_cast<int>(t);
    for (const NeighbourBox& b : near[p]) {
      s.host_slots[t] = spectra.slot[b.box];
      if (w.type == kLocalDistanceWeights) s.host_per_box[t] = local_distance_weight(b.distance, w.radius);
      if (w.type == kLocalFrequencyWeights)
        local_frequency_weight_factors(&s.host_columns[t * nh], &s.host_rows[t * box], b.distance, w.radius, nh, box,
                                       w.apix, w.resolution);
      ++t;
    }
  }
  s.host_first[count] = static_cast<int>(t);
  return t;
}

// Copies the first `count` values of a host array to the device array.
template <class T>
void upload(DeviceBuffer<T>& device, const std::vector<T>& host, size_t count) {
  memcpy_H2D(device.get(), host.data(), count * sizeof(T));
}

BoxSpectrumTerms upload_terms(int count, size_t terms, const LocalWeighting& w, int box, LocalAverageScratch& s) {
  upload(s.first, s.host_first, count + 1);
  upload(s.slots, s.host_slots, terms);
  BoxSpectrumTerms uploaded{s.first.get(), s.slots.get()};
  if (w.type == kLocalDistanceWeights) {
    upload(s.per_box, s.host_per_box, terms);
    uploaded.per_box = s.per_box.get();
  } else if (w.type == kLocalFrequencyWeights) {
    upload(s.columns, s.host_columns, terms * (box / 2 + 1));
    upload(s.rows, s.host_rows, terms * box);
    uploaded.columns = s.columns.get();
    uploaded.rows = s.rows.get();
  }
  return uploaded;
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

LocalAverageScratch local_average_scratch(const LocalGrid& grid, int sums, size_t terms, int type) {
  const size_t first = static_cast<size_t>(sums) + 1;
  const size_t per_box = type == kLocalDistanceWeights ? terms : 0;
  const size_t columns = type == kLocalFrequencyWeights ? terms * (grid.box / 2 + 1) : 0;
  const size_t rows = type == kLocalFrequencyWeights ? terms * grid.box : 0;
  return {DeviceBuffer<int>(first),     DeviceBuffer<int>(terms),    DeviceBuffer<float>(per_box),
          DeviceBuffer<float>(columns), DeviceBuffer<float>(rows),   std::vector<int>(first),
          std::vector<int>(terms),      std::vector<float>(per_box), std::vector<float>(columns),
          std::vector<float>(rows)};
}

void local_average_spectra(float* out, const GridSpectra& spectra, const std::vector<NeighbourBox>* near, int count,
                           const LocalWeighting& weighting, LocalAverageScratch& scratch) {
  const int box = spectra.grid.box;
  const size_t terms = gather_terms(spectra, near, count, weighting, scratch);
  hcuda_sum_box_spectra(out, spectra.spectra.get(), count, box / 2 + 1, box,
                        upload_terms(count, terms, weighting, box, scratch));
  for (int p = 0; p < count; ++p)
    if (!near[p].empty())
      hcuda_2d_fft_amp_log_subbg_inplace(out + p * half_spectrum_size(spectra.grid), box, box, box / 12);
}
