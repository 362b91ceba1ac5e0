// Cutting particle images out of a host micrograph and pasting them back, at the corners (x, y)
// of particle boxes. Images are nx x ny, stacked at offsets of i nx ny; the micrograph is
// large_nx x large_ny. Pixels of a box that fall outside the micrograph are read as 0 and never
// written.
#pragma once

#include <string>

#include "core/ptcl_box_record.h"

// smalls image i = the micrograph's region at box i.
void cpu_x2d_extract_ptcls_from_micrograph(float* smalls, int nx, int ny, int count, const float* large, int large_nx,
                                           int large_ny, const PTCL_BOX* boxes);

// Why the reference images cannot scale particles (one has no finite spread above 0), naming the
// first such image and its box; empty when they can.
std::string particle_paste_problem(const float* refs, int nx, int ny, int count, const PTCL_BOX* boxes);

// For each box in order: t = the micrograph's current region at the box; k = stdv(t)/stdv(ref i)
// (rounded to float), c = mean(t) - mean(ref i) k; smalls image i becomes smalls i k + c and is
// pasted at the box, so later boxes overwrite earlier ones. refs may be smalls: pasting particles
// as their own references gives them the mean and spread of the region each replaces. References
// that particle_paste_problem refuses end the program before anything changes.
void cpu_x2d_norm_cp_ptcls_to_micrograph(float* large, float* smalls, const float* refs, int large_nx, int large_ny,
                                         int nx, int ny, int count, const PTCL_BOX* boxes);
