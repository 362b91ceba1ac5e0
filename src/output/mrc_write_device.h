// Writing float MRC data that lie in device memory: they are copied to a temporary host buffer
// and written as their host counterparts write them.
#pragma once

#include <cstdio>

#include "io/mrc_header.h"

int mrc_write_head_ddata(FILE* file, MRC_HEAD* head, const float* ddata);
int mrcf_write_head_ddata(const char* path, MRC_HEAD* head, const float* ddata);
int mrcf_write_xyz_ddata(const char* path, const float* ddata, int nx, int ny, int nz);
