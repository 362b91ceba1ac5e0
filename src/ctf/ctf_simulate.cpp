#include "ctf/ctf_simulate.h"

#include "backend/launch.h"

void hcuda_ctf_mod_simulate_1d(float* out, int n, const CtfSampling& s, float P, float defocus) {
  launch_1d(n > 0 ? n : 0,
            [=] QUIB_HD(size_t i) { cuda_ctf_mod_simulate_1d(out, static_cast<int>(i), n, s, P, defocus); });
}

void hcuda_ctf_phase_simulate_1d(float* out, int n, const Optics& o, float P, float defocus, RESO band) {
  launch_1d(n > 0 ? n : 0,
            [=] QUIB_HD(size_t i) { cuda_ctf_phase_simulate_1d(out, static_cast<int>(i), n, o, P, defocus, band); });
}

void hcuda_ctf_mod_simulate_1ds_multi_defocus(float* out, int n, const CtfSampling& s, float P, const float* defocus,
                                              int m) {
  launch_2d(n, m, [=] QUIB_HD(int i, int j) { cuda_ctf_mod_simulate_1ds_multi_defocus(out, i, j, n, s, P, defocus); });
}

void hcuda_ctf_mod_simulate_2d_half(float* out, int nh, int ny, const CtfSampling& s, const CtfModel& m) {
  launch_2d(nh, ny, [=] QUIB_HD(int x, int y) { cuda_ctf_mod_simulate_2d_half(out, x, y, nh, ny, s, m); });
}

void hcuda_ctf_modsquare_simulate_2d_half(float* out, int nh, int ny, const CtfSampling& s, const CtfModel& m) {
  launch_2d(nh, ny, [=] QUIB_HD(int x, int y) { cuda_ctf_modsquare_simulate_2d_half(out, x, y, nh, ny, s, m); });
}

void hcuda_ctf_sim_mul_real_2d_half(float* out, const float* measured, int nh, int ny, const CtfSampling& s,
                                    const CtfModel& m) {
  launch_2d(nh, ny, [=] QUIB_HD(int x, int y) { cuda_ctf_sim_mul_real_2d_half(out, measured, x, y, nh, ny, s, m); });
}
