#include "io/mrc_mode.h"

size_t mrc_element_size(int mode) {
  switch (mode) {
    case MRC_MODE_BYTE:
      return 1;
    case MRC_MODE_SHORT:
    case MRC_MODE_USHORT:
      return 2;
    case MRC_MODE_FLOAT:
    case MRC_MODE_SHORT_COMPLEX:
      return 4;
    case MRC_MODE_FLOAT_COMPLEX:
    case 20:
    case 21:
    case 22:
      return 8;
    default:
      return 0;
  }
}

bool mrc_mode_readable(int mode) {
  return mode == MRC_MODE_BYTE || mode == MRC_MODE_SHORT || mode == MRC_MODE_FLOAT ||
         mode == MRC_MODE_USHORT;
}

const char* mrc_mode_name(int mode) {
  switch (mode) {
    case MRC_MODE_BYTE:
      return "Byte";
    case MRC_MODE_SHORT:
      return "Short";
    case MRC_MODE_FLOAT:
      return "Float";
    case MRC_MODE_SHORT_COMPLEX:
      return "Complex Short";
    case MRC_MODE_FLOAT_COMPLEX:
      return "Complex Float";
    case MRC_MODE_USHORT:
      return "Unsigned Short";
    case 16:
      return "RGB";
    case 20:
      return "Complex Float (Real, Imag)";
    case 21:
      return "Complex Float (Amp, Rad)";
    case 22:
      return "Complex Float (Amp, Deg)";
    default:
      return "Unknown";
  }
}
