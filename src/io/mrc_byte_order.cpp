#include "io/mrc_byte_order.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

constexpr unsigned char LITTLE_ENDIAN_STAMP[4] = {0x44, 0x41, 0, 0};
constexpr unsigned char BIG_ENDIAN_STAMP[4] = {0x11, 0x11, 0, 0};

// The byte ranges [begin, end) of the header that hold 32-bit numbers.
struct NumberRange {
  size_t begin, end;
};
constexpr NumberRange header_numbers[] = {
    {offsetof(MRC_HEAD, nx), offsetof(MRC_HEAD, creatid)},
    {offsetof(MRC_HEAD, imod_stamp), offsetof(MRC_HEAD, extra_end)},
    {offsetof(MRC_HEAD, origin), offsetof(MRC_HEAD, map)},
    {offsetof(MRC_HEAD, rms), offsetof(MRC_HEAD, labels)},
};

// A machine stamp is only trusted in a header that carries "MAP": older headers had other fields
// there.
bool has_valid_machine_stamp(const MRC_HEAD* head) {
  if (!mrc_head_is_stamped(head)) return false;
  const unsigned char a = head->machst[0], b = head->machst[1];
  return (a == 0x44 && (b == 0x44 || b == 0x41)) || (a == 0x11 && b == 0x11);
}

bool describes_file(const MRC_HEAD* head, long file_size) {
  return mrc_described_file_bytes(head) == int64_t(file_size);
}

}  // namespace

bool mrc_head_big_endian(const MRC_HEAD* head) { return head->machst[0] == 0x11 && head->machst[1] == 0x11; }

void mrc_swap_head_numbers(MRC_HEAD* head) {
  unsigned char* bytes = reinterpret_cast<unsigned char*>(head);
  for (const NumberRange& range : header_numbers)
    mrc_swap_elements(bytes + range.begin, 4, (range.end - range.begin) / 4);
}

void mrc_swap_elements(void* data, size_t element_size, size_t count) {
  unsigned char* bytes = static_cast<unsigned char*>(data);
  for (size_t i = 0; i < count; ++i) std::reverse(bytes + i * element_size, bytes + (i + 1) * element_size);
}

void mrc_head_to_machine_order(MRC_HEAD* head, long file_size) {
  if (has_valid_machine_stamp(head)) {
    if (mrc_head_big_endian(head)) mrc_swap_head_numbers(head);
    return;
  }
  // Without a stamp, a file is taken as byte-swapped only when nothing else explains it: its
  // sizes, mode and extended header, read swapped, account for every byte of the file, and read
  // as they lie, they do not.
  MRC_HEAD swapped = *head;
  mrc_swap_head_numbers(&swapped);
  const bool big_endian = !describes_file(head, file_size) && describes_file(&swapped, file_size);
  if (big_endian) *head = swapped;
  memcpy(head->machst, big_endian ? BIG_ENDIAN_STAMP : LITTLE_ENDIAN_STAMP, 4);
}

MRC_HEAD mrc_head_in_file_order(const MRC_HEAD* head) {
  MRC_HEAD in_file = *head;
  if (mrc_head_big_endian(head)) mrc_swap_head_numbers(&in_file);
  return in_file;
}
