// Feeds arbitrary bytes, as an MRC file in memory, to the header reader, the validation, every
// reader and the output-name functions. Memory stays bounded because the validation refuses a
// header that describes more data than the input holds.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "io/mrc_check.h"
#include "io/mrc_header.h"
#include "io/mrc_name.h"
#include "io/mrc_read.h"

namespace {

bool within(int start, int length, int size) {
  return start >= 0 && length > 0 && int64_t(start) + length <= size;
}

// Planes along every axis: at a plane index taken from the header (often out of range) and at
// that index brought into range.
void read_planes(FILE* file, const MRC_HEAD& head) {
  const struct {
    char axis;
    int planes;
    size_t values;
  } planes[] = {{'x', head.nx, size_t(head.ny) * size_t(head.nz)},
                {'Y', head.ny, size_t(head.nx) * size_t(head.nz)},
                {'z', head.nz, mrc_section_voxels(&head)}};
  for (const auto& plane : planes) {
    std::vector<float> out(plane.values);
    mrc_read_slice(file, &head, head.nxstart, plane.axis, out.data());
    mrc_read_slice(file, &head, int(uint32_t(head.nxstart) % uint32_t(plane.planes)), plane.axis,
                   out.data());
  }
}

// A box and a grid whose geometry comes from other header fields; the buffer is only as large
// as a request the readers should accept, so a wrongly accepted one overflows it.
void read_float_areas(FILE* file, const MRC_HEAD& head) {
  const int x0 = head.nystart, y0 = head.nzstart, z0 = head.mapc, dx = head.mx, dy = head.my,
            dz = head.mz;
  const bool box_fits =
      within(x0, dx, head.nx) && within(y0, dy, head.ny) && within(z0, dz, head.nz);
  std::vector<float> box(box_fits ? size_t(dx) * dy * dz : 1);
  mrc_read_sub_area(file, &head, box.data(), x0, y0, z0, dx, dy, dz);

  const int size = head.mapr, step = head.maps;
  const bool grid_fits = step > 0 && within(0, size, head.nx) && within(0, size, head.ny);
  const size_t boxes =
      grid_fits ? (size_t(head.nx - size) / step + 1) * (size_t(head.ny - size) / step + 1) : 0;
  std::vector<float> grid(grid_fits ? boxes * size * size : 1);
  mrc_2d_read_grids(file, &head, grid.data(), size, step);
}

void make_output_name(const uint8_t* data, size_t size) {
  const std::string name(reinterpret_cast<const char*>(data), size);
  char out[MRC_NAME_BUFFER_SIZE];
  get_micrograph_suffixn(name.c_str());
  set_outname_by_suffix(out, name.c_str(), "_pf.mrc");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  make_output_name(data, size);
  if (size == 0) return 0;
  std::vector<uint8_t> bytes(data, data + size);
  FilePtr file(fmemopen(bytes.data(), bytes.size(), "r"));
  if (!file) return 0;
  MRC_HEAD head;
  if (mrc_read_head(file.get(), &head) != 0) return 0;
  mrc_check_head(&head);
  const bool exact_size = mrc_check_fsize(file.get(), &head) == 0;
  if (mrc_check_head_data(file.get(), &head) != 0) return 0;
  std::vector<float> all(mrc_voxels(&head));
  mrc_read_all_nocheck(file.get(), &head, all.data());
  if (exact_size) mrc_read_all(file.get(), &head, all.data());
  read_planes(file.get(), head);
  if (head.mode == 2) read_float_areas(file.get(), head);
  return 0;
}
