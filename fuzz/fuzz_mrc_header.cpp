// Feeds arbitrary bytes, as an MRC file in memory, to the header reader, the validation, every
// reader and the output-name functions. The first byte chooses how the rest becomes a file: as it
// is, or shaped into one whose sizes add up, so that the data paths are reached: small sizes, a
// readable mode, an extended header, either byte order with or without a machine stamp, and IMOD's
// byte flags, all taken from the input. A shaped file that is not damaged on purpose must read back
// as the values it was made of. Memory stays bounded because the validation refuses a header that
// describes more data than the input holds.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "io/mrc_byte_order.h"
#include "io/mrc_check.h"
#include "io/mrc_header.h"
#include "io/mrc_name.h"
#include "io/mrc_read.h"

namespace {

bool within(int start, int length, int size) { return start >= 0 && length > 0 && int64_t(start) + length <= size; }

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
    mrc_read_slice(file, &head, int(uint32_t(head.nxstart) % uint32_t(plane.planes)), plane.axis, out.data());
  }
}

// A box and a grid whose geometry comes from other header fields; the buffer is only as large
// as a request the readers should accept, so a wrongly accepted one overflows it.
void read_float_areas(FILE* file, const MRC_HEAD& head) {
  const int x0 = head.nystart, y0 = head.nzstart, z0 = head.mapc, dx = head.mx, dy = head.my, dz = head.mz;
  const bool box_fits = within(x0, dx, head.nx) && within(y0, dy, head.ny) && within(z0, dz, head.nz);
  std::vector<float> box(box_fits ? size_t(dx) * dy * dz : 1);
  mrc_read_sub_area(file, &head, box.data(), x0, y0, z0, dx, dy, dz);

  const int size = head.mapr, step = head.maps;
  const bool grid_fits = step > 0 && within(0, size, head.nx) && within(0, size, head.ny);
  const size_t boxes = grid_fits ? (size_t(head.nx - size) / step + 1) * (size_t(head.ny - size) / step + 1) : 0;
  std::vector<float> grid(grid_fits ? boxes * size * size : 1);
  mrc_2d_read_grids(file, &head, grid.data(), size, step);
}

void make_output_name(const uint8_t* data, size_t size) {
  const std::string name(reinterpret_cast<const char*>(data), size);
  if (mrc_outname(name.c_str(), "_pf.mrc").size() > name.size() + 7) abort();
  if (mrc_outname(name.c_str(), "_EPA.log", StackSuffix::kKept).size() > name.size() + 8) abort();
}

// Every reader on the file; the values of the whole file when its header and size are valid.
std::vector<float> read_everything(std::vector<uint8_t>& bytes) {
  FilePtr file(fmemopen(bytes.data(), bytes.size(), "r"));
  if (!file) return {};
  MRC_HEAD head;
  if (mrc_read_head(file.get(), &head) != 0) return {};
  mrc_check_head(&head);
  const bool exact_size = mrc_check_fsize(file.get(), &head) == 0;
  if (mrc_check_head_data(file.get(), &head) != 0) return {};
  if (!exact_size) abort();  // a valid header describes the file exactly
  std::vector<float> all(mrc_voxels(&head));
  mrc_read_all_nocheck(file.get(), &head, all.data());
  mrc_read_all(file.get(), &head, all.data());
  read_planes(file.get(), head);
  if (head.mode == MRC_MODE_FLOAT) read_float_areas(file.get(), head);
  return all;
}

// How the first byte shapes the file.
struct Shape {
  bool big_endian;
  int stamp;     // 0: "MAP" and the machine stamp, 1: "MAP" without one, 2: neither, 3: the input's bytes
  bool imod;     // IMOD's stamp, with the input's flags
  bool damaged;  // the extended header size and the file size as the input has them
};

Shape shape_of(uint8_t control) {
  return {(control & 2) != 0, (control >> 2) & 3, (control & 16) != 0, (control & 32) != 0};
}

// The value element i of the data has, from the bytes as the file holds them.
float expected_value(const uint8_t* data, int mode, bool big_endian, bool signed_bytes, size_t i) {
  const size_t size = mrc_element_size(mode);
  uint8_t element[4];
  for (size_t b = 0; b < size; ++b) element[b] = data[i * size + (big_endian ? size - 1 - b : b)];
  switch (mode) {
    case MRC_MODE_BYTE:
      return signed_bytes ? float(int8_t(element[0])) : float(element[0]);
    case MRC_MODE_SHORT:
      return float(int16_t(element[0] | element[1] << 8));
    case MRC_MODE_USHORT:
      return float(uint16_t(element[0] | element[1] << 8));
    default: {
      float value;
      memcpy(&value, element, 4);
      return value;
    }
  }
}

// The input made into a file of small sizes whose header, extended header and data add up (unless
// damaged on purpose); the header's numbers come from the input, the rest of the input fills the
// extended header and the data.
void fuzz_shaped_file(Shape shape, const uint8_t* data, size_t size) {
  MRC_HEAD head;
  memset(&head, 0, sizeof head);
  memcpy(&head, data, size < sizeof head ? size : sizeof head);
  const uint8_t* rest = size > sizeof head ? data + sizeof head : nullptr;
  const size_t rest_size = rest ? size - sizeof head : 0;

  const int modes[] = {MRC_MODE_BYTE, MRC_MODE_SHORT, MRC_MODE_FLOAT, MRC_MODE_USHORT};
  head.nx = 1 + int(uint32_t(head.nx) % 64);
  head.ny = 1 + int(uint32_t(head.ny) % 64);
  head.nz = 1 + int(uint32_t(head.nz) % 4);
  head.mode = modes[uint32_t(head.mode) % 4];
  if (!shape.damaged) head.next = int(uint32_t(head.next) % 512);
  if (shape.imod) head.imod_stamp = MRC_IMOD_STAMP;
  const bool signed_bytes = head.imod_stamp != MRC_IMOD_STAMP || (head.imod_flags & 1) != 0;
  if (shape.stamp != 3) {
    memcpy(head.map, shape.stamp == 2 ? "\0\0\0\0" : "MAP ", 4);
    const unsigned char stamp[4] = {uint8_t(shape.big_endian ? 0x11 : 0x44), uint8_t(shape.big_endian ? 0x11 : 0x41), 0,
                                    0};
    memcpy(head.machst, shape.stamp == 0 ? stamp : reinterpret_cast<const unsigned char*>("\0\0\0\0"), 4);
  }
  const size_t data_bytes = mrc_voxels(&head) * mrc_element_size(head.mode);
  int64_t file_size = mrc_described_file_bytes(&head);
  if (shape.damaged) file_size = MRC_HEAD_BYTES + int64_t(head.nxstart & 0xffff);
  if (file_size < MRC_HEAD_BYTES) file_size = MRC_HEAD_BYTES;

  const MRC_HEAD in_file = [&] {
    MRC_HEAD copy = head;
    if (shape.big_endian) mrc_swap_head_numbers(&copy);
    return copy;
  }();
  std::vector<uint8_t> bytes(size_t(file_size), 0);
  memcpy(bytes.data(), &in_file, sizeof in_file);
  for (size_t i = sizeof head; i < bytes.size() && rest_size > 0; ++i) bytes[i] = rest[(i - sizeof head) % rest_size];

  const std::vector<float> all = read_everything(bytes);
  // The input's own stamp bytes may name either order; a damaged file has no values to check.
  if (shape.damaged || shape.stamp == 3) return;
  if (all.size() * mrc_element_size(head.mode) != data_bytes) abort();
  const uint8_t* values = bytes.data() + MRC_HEAD_BYTES + head.next;
  for (size_t i = 0; i < all.size(); ++i) {
    const float expected = expected_value(values, head.mode, shape.big_endian, signed_bytes, i);
    if (memcmp(&all[i], &expected, sizeof expected) != 0) abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  make_output_name(data, size);
  if (size < 2) return 0;
  if (data[0] & 1) {
    fuzz_shaped_file(shape_of(data[0]), data + 1, size - 1);
    return 0;
  }
  std::vector<uint8_t> bytes(data + 1, data + size);
  read_everything(bytes);
  return 0;
}
