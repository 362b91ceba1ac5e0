#include "ctf/ctf_simulate.h"

#include "backend/launch.h"

void hcuda_ctf_mod_simulate_1d(float* out, float apix, int n, float P, float kV, float Cs, float ac, float defocus,
                               float B, float resL, float resH) {
  launch_1d(n > 0 ? n : 0, [=] QUIB_HD(size_t i) {
    cuda_ctf_mod_simulate_1d(out, static_cast<int>(i), apix, n, P, kV, Cs, ac, defocus, B, resL, resH);
  });
}

void hcuda_ctf_phase_simulate_1d(float* out, float apix, int n, float P, float kV, float Cs, float ac, float defocus,
                                 float resL, float resH) {
  launch_1d(n > 0 ? n : 0, [=] QUIB_HD(size_t i) {
    cuda_ctf_phase_simulate_1d(out, static_cast<int>(i), apix, n, P, kV, Cs, ac, defocus, resL, resH);
  });
}

void hcuda_ctf_mod_simulate_1ds_multi_defocus(float* out, float apix, int n, float P, float kV, float Cs, float ac,
                                              const float* defocus, int m, float B, float resL, float resH) {
  launch_2d(n, m, [=] QUIB_HD(int i, int j) {
    cuda_ctf_mod_simulate_1ds_multi_defocus(out, i, j, apix, n, P, kV, Cs, ac, defocus, B, resL, resH);
  });
}

void hcuda_ctf_mod_simulate_2d_half(float* out, float apix, int nh, int ny, float P, float kV, float Cs, float ac,
                                    float U, float V, float A, float B, float resL, float resH) {
  launch_2d(nh, ny, [=] QUIB_HD(int x, int y) {
    cuda_ctf_mod_simulate_2d_half(out, x, y, apix, nh, ny, P, kV, Cs, ac, U, V, A, B, resL, resH);
  });
}

void hcuda_ctf_modsquare_simulate_2d_half(float* out, float apix, int nh, int ny, float P, float kV, float Cs, float ac,
                                          float U, float V, float A, float B, float resL, float resH) {
  launch_2d(nh, ny, [=] QUIB_HD(int x, int y) {
    cuda_ctf_modsquare_simulate_2d_half(out, x, y, apix, nh, ny, P, kV, Cs, ac, U, V, A, B, resL, resH);
  });
}

void hcuda_ctf_sim_mul_real_2d_half(float* out, const float* measured, float apix, int nh, int ny, float P, float kV,
                                    float Cs, float ac, float U, float V, float A, float B, float resL, float resH) {
  launch_2d(nh, ny, [=] QUIB_HD(int x, int y) {
    cuda_ctf_sim_mul_real_2d_half(out, measured, x, y, apix, nh, ny, P, kV, Cs, ac, U, V, A, B, resL, resH);
  });
}
