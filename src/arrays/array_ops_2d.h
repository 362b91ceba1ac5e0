// Element-wise operations on nx x ny float images on the device (row-major, nx wide). Images
// with a side that is not positive are left alone. The output may be the input itself.
#pragma once

// out = p op q, pixel by pixel; the _inplace forms store into data (data op q).
void hcuda_x2d_add(float* out, const float* p, const float* q, int nx, int ny);
void hcuda_x2d_sub(float* out, const float* p, const float* q, int nx, int ny);
void hcuda_x2d_multi(float* out, const float* p, const float* q, int nx, int ny);
void hcuda_x2d_divide(float* out, const float* p, const float* q, int nx, int ny);
void hcuda_x2d_add_inplace(float* data, const float* q, int nx, int ny);
void hcuda_x2d_sub_inplace(float* data, const float* q, int nx, int ny);
void hcuda_x2d_multi_inplace(float* data, const float* q, int nx, int ny);
void hcuda_x2d_divide_inplace(float* data, const float* q, int nx, int ny);
// Image z of the stack times image z of the stack q, z < nz.
void hcuda_x2ds_multi_inplace(float* stack, const float* q, int nx, int ny, int nz);

// out = in op a. hcuda_2d_divide refuses a = 0 and hcuda_2d_sub_divide ((in - a) / b) refuses
// b = 0 with a fatal error; every other division follows IEEE arithmetic.
void hcuda_2d_add(float* out, const float* in, int nx, int ny, float a);
void hcuda_2d_sub(float* out, const float* in, int nx, int ny, float a);
void hcuda_2d_multi(float* out, const float* in, int nx, int ny, float a);
void hcuda_2d_divide(float* out, const float* in, int nx, int ny, float a);
void hcuda_2d_sub_divide(float* out, const float* in, int nx, int ny, float a, float b);
// in^2, sqrt(in), |in|, e^in, natural (both log names), base-2 and base-10 logarithms, in^a.
void hcuda_2d_sqr(float* out, const float* in, int nx, int ny);
void hcuda_2d_sqrt(float* out, const float* in, int nx, int ny);
void hcuda_2d_abs(float* out, const float* in, int nx, int ny);
void hcuda_2d_exp(float* out, const float* in, int nx, int ny);
void hcuda_2d_log(float* out, const float* in, int nx, int ny);
void hcuda_2d_logf(float* out, const float* in, int nx, int ny);
void hcuda_2d_log2(float* out, const float* in, int nx, int ny);
void hcuda_2d_log10(float* out, const float* in, int nx, int ny);
void hcuda_2d_pow(float* out, const float* in, int nx, int ny, float a);

// In place; the divisions here are not checked.
void hcuda_2d_add_inplace(float* data, int nx, int ny, float a);
void hcuda_2d_sub_inplace(float* data, int nx, int ny, float a);
void hcuda_2d_multi_inplace(float* data, int nx, int ny, float a);
void hcuda_2d_divide_inplace(float* data, int nx, int ny, float a);
void hcuda_2d_sub_divide_inplace(float* data, int nx, int ny, float a, float b);
void hcuda_2d_sqr_inplace(float* data, int nx, int ny);
void hcuda_2d_sqrt_inplace(float* data, int nx, int ny);
void hcuda_2d_abs_inplace(float* data, int nx, int ny);
void hcuda_2d_exp_inplace(float* data, int nx, int ny);
void hcuda_2d_log_inplace(float* data, int nx, int ny);
void hcuda_2d_logf_inplace(float* data, int nx, int ny);
void hcuda_2d_log2_inplace(float* data, int nx, int ny);
void hcuda_2d_log10_inplace(float* data, int nx, int ny);
void hcuda_2d_pow_inplace(float* data, int nx, int ny, float a);
// data * (-1)
void hcuda_2d_invert_inplace(float* data, int nx, int ny);
// Flips the sign bit of each of the nx * ny floats of a host image.
void host_2d_invert_inplace(float* data, int nx, int ny);
