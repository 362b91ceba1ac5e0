#include "arrays/array_flip.h"

#include "backend/launch.h"

void hcuda_2d_flipx(float* out, const float* in, int nx, int ny) {
  launch_2d(nx, ny, [=] QUIB_HD(int x, int y) { cuda_2d_flipx(out, in, nx, x, y); });
}

void hcuda_2d_flipy(float* out, const float* in, int nx, int ny) {
  launch_2d(nx, ny, [=] QUIB_HD(int x, int y) { cuda_2d_flipy(out, in, nx, ny, x, y); });
}

void hcuda_2d_flipxy(float* out, const float* in, int nx, int ny) {
  launch_2d(nx, ny, [=] QUIB_HD(int x, int y) { cuda_2d_flipxy(out, in, nx, ny, x, y); });
}

void hcuda_2d_mirror_pad(float* out, const float* in, int nx, int ny) {
  launch_2d(nx, ny, [=] QUIB_HD(int x, int y) { cuda_2d_mirror_pad(out, in, nx, ny, x, y); });
}

void hcuda_2d_mirror_pad_inv(float* out, const float* in, int nx, int ny) {
  launch_2d(nx, ny, [=] QUIB_HD(int x, int y) { cuda_2d_mirror_pad_inv(out, in, nx, x, y); });
}
