// An MRC file short of its data: the 1024-byte header record and its data type codes; setting up
// a header and asking about its sizes and mode; owned streams for MRC files; and the header read
// from and written to the start of a stream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>

#include "core/file_ptr.h"

// The 1024-byte main header. Its numbers are held in the machine's (little-endian) byte order
// whatever the file's order; the machine stamp names the order of the file's data.
struct MRC_HEAD {
  int32_t nx, ny, nz;  // columns, rows, sections
  int32_t mode;        // data type code (MRC_MODE_* below)
  int32_t nxstart, nystart, nzstart;
  int32_t mx, my, mz;
  float xlen, ylen, zlen;
  float alpha, beta, gamma;
  int32_t mapc, mapr, maps;
  float dmin, dmax, dmean;
  int32_t ispg;  // space group
  int32_t next;  // bytes of extended header between this header and the data
  int16_t creatid;
  char extra[54];
  int32_t imod_stamp;  // MRC_IMOD_STAMP in files IMOD wrote
  int32_t imod_flags;  // IMOD's flags; bit 0 set: mode-0 bytes are signed
  char extra_end[36];
  float origin[3];
  char map[4];              // "MAP " in a valid header
  unsigned char machst[4];  // machine stamp: 0x44 0x44 or 0x44 0x41 little-endian, 0x11 0x11 big-endian
  float rms;
  int32_t nlabl;
  char labels[10][80];
};

static_assert(sizeof(MRC_HEAD) == 1024, "an MRC header is 1024 bytes");
static_assert(offsetof(MRC_HEAD, mode) == 12 && offsetof(MRC_HEAD, nxstart) == 16 && offsetof(MRC_HEAD, mx) == 28 &&
                  offsetof(MRC_HEAD, xlen) == 40 && offsetof(MRC_HEAD, alpha) == 52 && offsetof(MRC_HEAD, mapc) == 64 &&
                  offsetof(MRC_HEAD, dmin) == 76 && offsetof(MRC_HEAD, dmax) == 80 && offsetof(MRC_HEAD, dmean) == 84 &&
                  offsetof(MRC_HEAD, ispg) == 88 && offsetof(MRC_HEAD, next) == 92 &&
                  offsetof(MRC_HEAD, creatid) == 96 && offsetof(MRC_HEAD, extra) == 98 &&
                  offsetof(MRC_HEAD, imod_stamp) == 152 && offsetof(MRC_HEAD, imod_flags) == 156 &&
                  offsetof(MRC_HEAD, origin) == 196 && offsetof(MRC_HEAD, map) == 208 &&
                  offsetof(MRC_HEAD, machst) == 212 && offsetof(MRC_HEAD, rms) == 216 &&
                  offsetof(MRC_HEAD, nlabl) == 220 && offsetof(MRC_HEAD, labels) == 224,
              "MRC header field offsets");
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "MRC headers are held in little-endian order");

// Bytes of the main header; the extended header of `next` bytes and then the data follow it.
constexpr long MRC_HEAD_BYTES = 1024;

// imod_stamp of a file written by IMOD ("IMOD" in little-endian bytes).
constexpr int32_t MRC_IMOD_STAMP = 1146047817;

// Data type codes: which ones quib reads, how many bytes one element takes and the name a message
// shows for each.
constexpr int MRC_MODE_BYTE = 0;           // 8-bit integer, signed unless IMOD's flags say otherwise
constexpr int MRC_MODE_SHORT = 1;          // signed 16-bit integer
constexpr int MRC_MODE_FLOAT = 2;          // 32-bit float, the only mode quib writes
constexpr int MRC_MODE_SHORT_COMPLEX = 3;  // two signed 16-bit integers
constexpr int MRC_MODE_FLOAT_COMPLEX = 4;  // two 32-bit floats
constexpr int MRC_MODE_USHORT = 6;         // unsigned 16-bit integer
constexpr int MRC_MODE_HALF = 12;          // IEEE 754 half-precision float

// Element size in bytes of the modes the file-size check knows (0, 1, 2, 3, 4, 6, 20, 21, 22);
// 0 for any other mode.
size_t mrc_element_size(int mode);

// True for the modes the readers convert to float: 0, 1, 2, 6 and 12.
bool mrc_mode_readable(int mode);

// The mode's name for messages, "Unknown" for codes without one.
const char* mrc_mode_name(int mode);

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

// Makes a record, read from any file, head a file quib writes: little-endian, stamped, no extended
// header.
void mrc_set_head_plain_layout(MRC_HEAD* head);

// True when bytes 208..210 are "MAP".
bool mrc_head_is_stamped(const MRC_HEAD* head);

// 0 for a stamped header; otherwise a warning and -1.
int mrc_check_head(const MRC_HEAD* head);

int mrc_set_head_xyz(MRC_HEAD* head, int nx, int ny, int nz);
int mrc_set_head_mode(MRC_HEAD* head, int mode);
int mrc_set_head_xyz_mode(MRC_HEAD* head, int nx, int ny, int nz, int mode);
// The sampling (mx, my, mz) of the header's nx, ny, nz and the cell that gives them the pixel size
// apix in Angstrom, as readers take it (cell length / sampling).
void mrc_set_head_pixel_size(MRC_HEAD* head, float apix);
// Sets the sizes and the statistics; a minimum above the maximum is exchanged with it.
int mrc_set_head_xyz_mmm(MRC_HEAD* head, int nx, int ny, int nz, float min, float max, float mean);
// dmax, dmin and dmean of the first n values. Returns 0.
int mrc_set_head_mmm_from_data(MRC_HEAD* head, const float* data, size_t n);

// The name of the header's mode.
const char* mrc_get_head_mode(const MRC_HEAD* head);

// Whether mode-0 bytes are signed: in a file IMOD stamped, as bit 0 of its flags says; in any
// other file, signed.
bool mrc_bytes_signed(const MRC_HEAD* head);

// Where the data start: after the main header and the extended header.
int64_t mrc_data_offset(const MRC_HEAD* head);

// The file size the header describes: main header, extended header and nx*ny*nz elements of the
// mode. -1 when a size or the extended header size is negative, the mode has no known element
// size, or the sum does not fit in 64 bits.
int64_t mrc_described_file_bytes(const MRC_HEAD* head);

// Values in one section and in the whole file; 0 when a size is zero or negative.
size_t mrc_section_voxels(const MRC_HEAD* head);
size_t mrc_voxels(const MRC_HEAD* head);

// -1 when nx or ny is odd, else 0.
int mrc_check_even_size(const MRC_HEAD* head);
bool is_mrc_square(const MRC_HEAD* head);
bool is_mrc_cube(const MRC_HEAD* head);

// Owned stdio streams for MRC files: opening that ends the program with the usual message when a
// file cannot be had, and closing that reports a failed final write.

// Opens an existing file ("r" or "r+"); "Cannot open file ..." and a fatal error otherwise.
FilePtr mrc_open_read(const char* path, const char* mode, const char* function, int line);
// Opens a file for writing ("w+" and the like); "Cannot write to file ..." and a fatal error
// otherwise.
FilePtr mrc_open_write(const char* path, const char* mode, const char* function, int line);
// Closes the stream (if any); -1 when a write to it failed or it could not be flushed, else 0.
int mrc_close(FilePtr& file);
// Closes a written stream; a failed write is "Cannot write to file ..." and a fatal error.
void mrc_close_written(FilePtr& file, const char* path, const char* function, int line);

#define MRC_OPEN_READ(path, mode) mrc_open_read(path, mode, __func__, __LINE__)
#define MRC_OPEN_WRITE(path, mode) mrc_open_write(path, mode, __func__, __LINE__)
#define MRC_CLOSE_WRITTEN(file, path) mrc_close_written(file, path, __func__, __LINE__)

// The 1024-byte header at the start of an MRC stream.

// Reads the first 1024 bytes with their numbers in the machine's byte order and the machine stamp
// naming the file's order (see mrc_head_to_machine_order); "MAP" is left as the file has it. -1
// when the stream holds fewer (the header is then unchanged), else 0. The stream is left at
// offset 1024.
int mrc_read_head_unstamped(FILE* file, MRC_HEAD* head);

// As above, then writes "MAP" into a header that lacks it, so an old header is accepted and gains
// the stamp. A stream shorter than a header gives a warning and -1.
int mrc_read_head(FILE* file, MRC_HEAD* head);

// Writes the header at offset 0, in the byte order its machine stamp names (with a warning first
// when it lacks "MAP"), and leaves the stream at offset 1024. A failed write gives a warning and
// -1.
int mrc_write_head(FILE* file, const MRC_HEAD* head);
