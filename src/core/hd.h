// QUIB_HD marks functions that run on the host and, in the CUDA build, on the device too.
#pragma once

#ifdef __CUDACC__
#define QUIB_HD __host__ __device__
#else
#define QUIB_HD
#endif
