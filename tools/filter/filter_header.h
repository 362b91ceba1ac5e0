// The MRC headers of quib_filter: the pixel size an input gives, and the header of a float output.
#pragma once

#include "io/mrc_header.h"

// The pixel size the header's cell gives for x, or 0 when it gives none.
float header_apix(const MRC_HEAD& head);

// The input's header made the header of nz float images of nx x ny pixels of size apix.
void set_output_head(MRC_HEAD& head, int nx, int ny, int nz, float apix);
