// The 1024-byte MRC header record: initialisation, the "MAP" validity stamp, field setters and
// the simple questions asked of a header's sizes and mode.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

// The header exactly as it lies in the file, in the machine's (little-endian) byte order.
struct MRC_HEAD {
  int32_t nx, ny, nz;  // columns, rows, sections
  int32_t mode;        // data type code (io/mrc_mode.h)
  int32_t nxstart, nystart, nzstart;
  int32_t mx, my, mz;
  float xlen, ylen, zlen;
  float alpha, beta, gamma;
  int32_t mapc, mapr, maps;
  float dmin, dmax, dmean;
  int16_t ispg, nsymbt;
  int32_t next;  // extended header size; the data always start at byte 1024
  int16_t creatid;
  char extra[30];
  char reserved[80];
  char map[4];  // "MAP " in a valid header
  unsigned char machst[4];
  float rms;
  int32_t nlabl;
  char labels[10][80];
};

static_assert(sizeof(MRC_HEAD) == 1024, "an MRC header is 1024 bytes");
static_assert(offsetof(MRC_HEAD, mode) == 12 && offsetof(MRC_HEAD, nxstart) == 16 &&
                  offsetof(MRC_HEAD, mx) == 28 && offsetof(MRC_HEAD, xlen) == 40 &&
                  offsetof(MRC_HEAD, alpha) == 52 && offsetof(MRC_HEAD, mapc) == 64 &&
                  offsetof(MRC_HEAD, dmin) == 76 && offsetof(MRC_HEAD, dmax) == 80 &&
                  offsetof(MRC_HEAD, dmean) == 84 && offsetof(MRC_HEAD, ispg) == 88 &&
                  offsetof(MRC_HEAD, nsymbt) == 90 && offsetof(MRC_HEAD, next) == 92 &&
                  offsetof(MRC_HEAD, creatid) == 96 && offsetof(MRC_HEAD, extra) == 98 &&
                  offsetof(MRC_HEAD, reserved) == 128 && offsetof(MRC_HEAD, map) == 208 &&
                  offsetof(MRC_HEAD, machst) == 212 && offsetof(MRC_HEAD, rms) == 216 &&
                  offsetof(MRC_HEAD, nlabl) == 220 && offsetof(MRC_HEAD, labels) == 224,
              "MRC header field offsets");

// Bytes before the first data value, whatever the header's `next` says.
constexpr long MRC_HEAD_BYTES = 1024;

void mrc_delete_head(MRC_HEAD* head);
struct MrcHeadDelete {
  void operator()(MRC_HEAD* head) const { mrc_delete_head(head); }
};
// Owner of a heap header.
using MrcHeadPtr = std::unique_ptr<MRC_HEAD, MrcHeadDelete>;

// A new heap header set up by mrc_init_head.
MrcHeadPtr mrc_new_head();

// 1 x 1 x 1, mode 2, unit cell, statistics 0 / 255 / 128, creator 1000, the stamp and machine
// stamp; every other byte 0. Returns 0.
int mrc_init_head(MRC_HEAD* head);

// Writes 'M', 'A', 'P', ' ', 'D', 'A', 0, 0 at offsets 208..215. Returns 0.
int mrc_set_head_stmp(MRC_HEAD* head);

// True when bytes 208..210 are "MAP".
bool mrc_head_is_stamped(const MRC_HEAD* head);

// 0 for a stamped header; otherwise a warning and -1.
int mrc_check_head(const MRC_HEAD* head);

int mrc_set_head_xyz(MRC_HEAD* head, int nx, int ny, int nz);
int mrc_set_head_mode(MRC_HEAD* head, int mode);
int mrc_set_head_xyz_mode(MRC_HEAD* head, int nx, int ny, int nz, int mode);
// Sets the sizes and the statistics; a minimum above the maximum is exchanged with it.
int mrc_set_head_xyz_mmm(MRC_HEAD* head, int nx, int ny, int nz, float min, float max, float mean);
// dmax, dmin and dmean of the first n values. Returns 0.
int mrc_set_head_mmm_from_data(MRC_HEAD* head, const float* data, size_t n);

// The name of the header's mode.
const char* mrc_get_head_mode(const MRC_HEAD* head);

// Values in one section and in the whole file; 0 when a size is zero or negative.
size_t mrc_section_voxels(const MRC_HEAD* head);
size_t mrc_voxels(const MRC_HEAD* head);

// -1 when nx or ny is odd, else 0.
int mrc_check_even_size(const MRC_HEAD* head);
bool is_mrc_square(const MRC_HEAD* head);
bool is_mrc_cube(const MRC_HEAD* head);
