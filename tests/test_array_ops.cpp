// Fills, element-wise operations on 1D arrays and 2D images, flips and mirror padding.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "arrays/array_fill.h"
#include "arrays/array_flip.h"
#include "arrays/array_ops_1d.h"
#include "arrays/array_ops_2d.h"
#include "backend/memory.h"
#include "test_util.h"

namespace {

using Floats = std::vector<float>;
const float kInf = std::numeric_limits<float>::infinity();

// Equal element by element, NaN matching NaN.
void expect_same(const Floats& got, const Floats& expected, const std::string& what) {
  ASSERT_EQ(got.size(), expected.size()) << what;
  for (size_t i = 0; i < got.size(); ++i) {
    if (std::isnan(expected[i]))
      EXPECT_TRUE(std::isnan(got[i])) << what << " [" << i << "]";
    else
      EXPECT_FLOAT_EQ(got[i], expected[i]) << what << " [" << i << "]";
  }
}

TEST(Fill, SetsExactlyTheRequestedElements) {
  DeviceBuffer<float> f = device_copy_of(Floats(6, 9.0f));
  hcuda_memset_float(f.get(), 1.5f, 4);
  EXPECT_EQ(host_copy_of(f), (Floats{1.5f, 1.5f, 1.5f, 1.5f, 9, 9}));
  hcuda_empty_float(f.get(), 2);
  EXPECT_EQ(host_copy_of(f), (Floats{0, 0, 1.5f, 1.5f, 9, 9}));
  hcuda_2d_memset(f.get(), -2.0f, 2, 2);
  EXPECT_EQ(host_copy_of(f), (Floats{-2, -2, -2, -2, 9, 9}));
  hcuda_2d_empty(f.get(), 3, 1);
  EXPECT_EQ(host_copy_of(f), (Floats{0, 0, 0, -2, 9, 9}));
  hcuda_2d_memset(f.get(), 7.0f, -3, 2);
  EXPECT_EQ(host_copy_of(f), (Floats{0, 0, 0, -2, 9, 9})) << "a negative side fills nothing";

  DeviceBuffer<float> copy = device_copy_of(Floats(6, 0.0f));
  hcuda_2d_memcpy(copy.get(), f.get(), 5, 1);
  EXPECT_EQ(host_copy_of(copy), (Floats{0, 0, 0, -2, 9, 0}));

  DeviceBuffer<int> i = device_copy_of(std::vector<int>(3, 1));
  hcuda_memset_int(i.get(), -4, 2);
  EXPECT_EQ(host_copy_of(i), (std::vector<int>{-4, -4, 1}));
  DeviceBuffer<unsigned> u = device_copy_of(std::vector<unsigned>(3, 1));
  hcuda_memset_uint(u.get(), 4000000000u, 3);
  EXPECT_EQ(host_copy_of(u), (std::vector<unsigned>(3, 4000000000u)));

  DeviceBuffer<float2> cx = device_copy_of(std::vector<float2>(3, float2{1, 2}));
  hcuda_2d_cx_empty(cx.get(), 2, 1);
  const std::vector<float2> emptied = host_copy_of(cx);
  EXPECT_EQ(emptied[1].y, 0.0f);
  EXPECT_EQ(emptied[2].y, 2.0f);

  Floats host(4, 3.0f);
  host_memset_float(host.data(), 0.25f, 3);
  EXPECT_EQ(host, (Floats{0.25f, 0.25f, 0.25f, 3}));
  std::vector<int> host_int(2, 0);
  host_memset_int(host_int.data(), 8, 2);
  EXPECT_EQ(host_int, (std::vector<int>{8, 8}));
  std::vector<unsigned> host_uint(2, 0);
  host_memset_uint(host_uint.data(), 3u, 1);
  EXPECT_EQ(host_uint, (std::vector<unsigned>{3, 0}));
}

struct Case {
  const char* name;
  std::function<void(float* out, const float* in, size_t n)> op;
  Floats expected;
};

TEST(Elementwise1d, WorkedExamples) {
  const Floats in = {-2, 0.5f, 4, 0};
  const Floats mask = {1, 0, 2, 3};
  DeviceBuffer<float> d_mask = device_copy_of(mask);
  const float* m = d_mask.get();
  const float nan = std::nanf("");
  const Case cases[] = {
      {"add", [](float* o, const float* i, size_t n) { hcuda_add(o, i, n, 1.5f); }, {-0.5f, 2, 5.5f, 1.5f}},
      {"sub", [](float* o, const float* i, size_t n) { hcuda_sub(o, i, n, 1.5f); }, {-3.5f, -1, 2.5f, -1.5f}},
      {"multi", [](float* o, const float* i, size_t n) { hcuda_multi(o, i, n, -2); }, {4, -1, -8, -0.0f}},
      {"divide", [](float* o, const float* i, size_t n) { hcuda_divide(o, i, n, 4); }, {-0.5f, 0.125f, 1, 0}},
      {"add_multi", [](float* o, const float* i, size_t n) { hcuda_add_multi(o, i, n, 1, 2); }, {-2, 3, 10, 2}},
      {"multi_add", [](float* o, const float* i, size_t n) { hcuda_multi_add(o, i, n, 2, 1); }, {-3, 2, 9, 1}},
      {"sub_divide", [](float* o, const float* i, size_t n) { hcuda_sub_divide(o, i, n, 1, 2); }, {-1.5f, -0.25f, 1.5f, -0.5f}},
      {"divide_sub", [](float* o, const float* i, size_t n) { hcuda_divide_sub(o, i, n, 2, 1); }, {-2, -0.75f, 1, -1}},
      {"sqr", [](float* o, const float* i, size_t n) { hcuda_sqr(o, i, n); }, {4, 0.25f, 16, 0}},
      {"sub_sqr", [](float* o, const float* i, size_t n) { hcuda_sub_sqr(o, i, n, 1); }, {9, 0.25f, 9, 1}},
      {"data_submean_sqr", [](float* o, const float* i, size_t n) { hcuda_data_submean_sqr(o, i, n, 1); }, {9, 0.25f, 9, 1}},
      {"data_submean_sqr_withmask",
       [m](float* o, const float* i, size_t n) { hcuda_data_submean_sqr_withmask(o, i, m, n, 1); }, {9, 0, 18, 3}},
      {"sqr_withmask", [m](float* o, const float* i, size_t n) { hcuda_sqr_withmask(o, i, m, n); }, {4, 0, 32, 0}},
      {"x1d_multi", [m](float* o, const float* i, size_t n) { hcuda_x1d_multi(o, i, m, n); }, {-2, 0, 8, 0}},
      {"logf", [](float* o, const float* i, size_t n) { hcuda_logf(o, i, n); }, {nan, std::log(0.5f), std::log(4.0f), -kInf}},
      {"sqrtf", [](float* o, const float* i, size_t n) { hcuda_sqrtf(o, i, n); }, {nan, std::sqrt(0.5f), 2, 0}},
  };
  for (const Case& c : cases) {
    DeviceBuffer<float> d_in = device_copy_of(in), out = device_copy_of(Floats(4, 7.0f));
    c.op(out.get(), d_in.get(), 4);
    expect_same(host_copy_of(out), c.expected, c.name);
    c.op(d_in.get(), d_in.get(), 4);
    expect_same(host_copy_of(d_in), c.expected, std::string(c.name) + " with out = in");
    c.op(out.get(), d_in.get(), 0);
    expect_same(host_copy_of(out), c.expected, std::string(c.name) + " with n = 0");
  }
}

TEST(Elementwise1d, InPlaceFormsAndAccumulation) {
  const Floats in = {-2, 0.5f, 4, 9};
  const std::pair<std::function<void(float*, size_t)>, Floats> cases[] = {
      {[](float* d, size_t n) { hcuda_add_inplace(d, n, 1); }, {-1, 1.5f, 5, 10}},
      {[](float* d, size_t n) { hcuda_sub_inplace(d, n, 1); }, {-3, -0.5f, 3, 8}},
      {[](float* d, size_t n) { hcuda_multi_inplace(d, n, 2); }, {-4, 1, 8, 18}},
      {[](float* d, size_t n) { hcuda_divide_inplace(d, n, 0); }, {-kInf, kInf, kInf, kInf}},
      {[](float* d, size_t n) { hcuda_multi_add_inplace(d, n, 2, 1); }, {-3, 2, 9, 19}},
      {[](float* d, size_t n) { hcuda_sub_divide_inplace(d, n, 4, -2); }, {3, 1.75f, -0.0f, -2.5f}},
      {[](float* d, size_t n) { hcuda_sqr_inplace(d, n); }, {4, 0.25f, 16, 81}},
      {[](float* d, size_t n) { hcuda_sqrtf_inplace(d, n); }, {std::nanf(""), std::sqrt(0.5f), 2, 3}},
      {[](float* d, size_t n) { hcuda_logf_inplace(d, n); }, {std::nanf(""), std::log(0.5f), std::log(4.0f), std::log(9.0f)}},
      {[](float* d, size_t n) { hcuda_invert_inplace(d, n); }, {2, -0.5f, -4, -9}},
  };
  int k = 0;
  for (const auto& c : cases) {
    DeviceBuffer<float> data = device_copy_of(in);
    c.first(data.get(), 4);
    expect_same(host_copy_of(data), c.second, "case " + std::to_string(k++));
  }

  DeviceBuffer<float> sum = device_copy_of(in), more = device_copy_of(Floats{1, 1, -4, 0.5f});
  hcuda_addto_float(sum.get(), more.get(), 3);
  EXPECT_EQ(host_copy_of(sum), (Floats{-1, 1.5f, 0, 9}));
}

TEST(Elementwise1d, MultiAddIsOneFusedStep) {
  // (1 + 2^-12)^2 = 1 + 2^-11 + 2^-24: rounded before the addition the 2^-24 is lost.
  const float e = std::ldexp(1.0f, -12);
  DeviceBuffer<float> data = device_copy_of(Floats{1 + e});
  hcuda_multi_add(data.get(), data.get(), 1, 1 + e, -(1 + 2 * e));
  EXPECT_EQ(host_copy_of(data)[0], std::ldexp(1.0f, -24));
}

TEST(Elementwise2d, WorkedExamplesOnA3x2Image) {
  const Floats p = {1, -2, 4, 0.5f, 8, -1}, q = {2, 4, -0.5f, 0.25f, 0, 1};
  DeviceBuffer<float> dp = device_copy_of(p), dq = device_copy_of(q);
  const float nan = std::nanf("");
  const Case cases[] = {
      {"2d_add", [](float* o, const float* i, size_t) { hcuda_2d_add(o, i, 3, 2, 1); }, {2, -1, 5, 1.5f, 9, 0}},
      {"2d_sub", [](float* o, const float* i, size_t) { hcuda_2d_sub(o, i, 3, 2, 1); }, {0, -3, 3, -0.5f, 7, -2}},
      {"2d_multi", [](float* o, const float* i, size_t) { hcuda_2d_multi(o, i, 3, 2, 2); }, {2, -4, 8, 1, 16, -2}},
      {"2d_divide", [](float* o, const float* i, size_t) { hcuda_2d_divide(o, i, 3, 2, 2); }, {0.5f, -1, 2, 0.25f, 4, -0.5f}},
      {"2d_sub_divide", [](float* o, const float* i, size_t) { hcuda_2d_sub_divide(o, i, 3, 2, 1, 2); },
       {0, -1.5f, 1.5f, -0.25f, 3.5f, -1}},
      {"2d_sqr", [](float* o, const float* i, size_t) { hcuda_2d_sqr(o, i, 3, 2); }, {1, 4, 16, 0.25f, 64, 1}},
      {"2d_sqrt", [](float* o, const float* i, size_t) { hcuda_2d_sqrt(o, i, 3, 2); }, {1, nan, 2, std::sqrt(0.5f), std::sqrt(8.0f), nan}},
      {"2d_abs", [](float* o, const float* i, size_t) { hcuda_2d_abs(o, i, 3, 2); }, {1, 2, 4, 0.5f, 8, 1}},
      {"2d_exp", [](float* o, const float* i, size_t) { hcuda_2d_exp(o, i, 3, 2); },
       {std::exp(1.0f), std::exp(-2.0f), std::exp(4.0f), std::exp(0.5f), std::exp(8.0f), std::exp(-1.0f)}},
      {"2d_log", [](float* o, const float* i, size_t) { hcuda_2d_log(o, i, 3, 2); }, {0, nan, std::log(4.0f), std::log(0.5f), std::log(8.0f), nan}},
      {"2d_logf", [](float* o, const float* i, size_t) { hcuda_2d_logf(o, i, 3, 2); }, {0, nan, std::log(4.0f), std::log(0.5f), std::log(8.0f), nan}},
      {"2d_log2", [](float* o, const float* i, size_t) { hcuda_2d_log2(o, i, 3, 2); }, {0, nan, 2, -1, 3, nan}},
      {"2d_log10", [](float* o, const float* i, size_t) { hcuda_2d_log10(o, i, 3, 2); },
       {0, nan, std::log10(4.0f), std::log10(0.5f), std::log10(8.0f), nan}},
      {"2d_pow", [](float* o, const float* i, size_t) { hcuda_2d_pow(o, i, 3, 2, 3); }, {1, -8, 64, 0.125f, 512, -1}},
      {"x2d_add", [&dq](float* o, const float* i, size_t) { hcuda_x2d_add(o, i, dq.get(), 3, 2); }, {3, 2, 3.5f, 0.75f, 8, 0}},
      {"x2d_sub", [&dq](float* o, const float* i, size_t) { hcuda_x2d_sub(o, i, dq.get(), 3, 2); }, {-1, -6, 4.5f, 0.25f, 8, -2}},
      {"x2d_multi", [&dq](float* o, const float* i, size_t) { hcuda_x2d_multi(o, i, dq.get(), 3, 2); }, {2, -8, -2, 0.125f, 0, -1}},
      {"x2d_divide", [&dq](float* o, const float* i, size_t) { hcuda_x2d_divide(o, i, dq.get(), 3, 2); }, {0.5f, -0.5f, -8, 2, kInf, -1}},
  };
  for (const Case& c : cases) {
    DeviceBuffer<float> out = device_copy_of(Floats(6, 7.0f));
    c.op(out.get(), dp.get(), 6);
    expect_same(host_copy_of(out), c.expected, c.name);
  }
}

TEST(Elementwise2d, InPlaceFormsMatchTheirOutOfPlaceTwins) {
  const Floats p = {1, -2, 4, 0.5f, 8, -1}, q = {2, 4, -0.5f, 0.25f, 3, 1};
  DeviceBuffer<float> dq = device_copy_of(q);
  using Op = std::function<void(float*, const float*)>;
  using InPlace = std::function<void(float*)>;
  const float* Q = dq.get();
  const std::pair<InPlace, Op> pairs[] = {
      {[](float* d) { hcuda_2d_add_inplace(d, 3, 2, 1.5f); }, [](float* o, const float* i) { hcuda_2d_add(o, i, 3, 2, 1.5f); }},
      {[](float* d) { hcuda_2d_sub_inplace(d, 3, 2, 1.5f); }, [](float* o, const float* i) { hcuda_2d_sub(o, i, 3, 2, 1.5f); }},
      {[](float* d) { hcuda_2d_multi_inplace(d, 3, 2, 3); }, [](float* o, const float* i) { hcuda_2d_multi(o, i, 3, 2, 3); }},
      {[](float* d) { hcuda_2d_divide_inplace(d, 3, 2, 3); }, [](float* o, const float* i) { hcuda_2d_divide(o, i, 3, 2, 3); }},
      {[](float* d) { hcuda_2d_sub_divide_inplace(d, 3, 2, 1, 3); },
       [](float* o, const float* i) { hcuda_2d_sub_divide(o, i, 3, 2, 1, 3); }},
      {[](float* d) { hcuda_2d_sqr_inplace(d, 3, 2); }, [](float* o, const float* i) { hcuda_2d_sqr(o, i, 3, 2); }},
      {[](float* d) { hcuda_2d_sqrt_inplace(d, 3, 2); }, [](float* o, const float* i) { hcuda_2d_sqrt(o, i, 3, 2); }},
      {[](float* d) { hcuda_2d_abs_inplace(d, 3, 2); }, [](float* o, const float* i) { hcuda_2d_abs(o, i, 3, 2); }},
      {[](float* d) { hcuda_2d_exp_inplace(d, 3, 2); }, [](float* o, const float* i) { hcuda_2d_exp(o, i, 3, 2); }},
      {[](float* d) { hcuda_2d_log_inplace(d, 3, 2); }, [](float* o, const float* i) { hcuda_2d_log(o, i, 3, 2); }},
      {[](float* d) { hcuda_2d_logf_inplace(d, 3, 2); }, [](float* o, const float* i) { hcuda_2d_logf(o, i, 3, 2); }},
      {[](float* d) { hcuda_2d_log2_inplace(d, 3, 2); }, [](float* o, const float* i) { hcuda_2d_log2(o, i, 3, 2); }},
      {[](float* d) { hcuda_2d_log10_inplace(d, 3, 2); }, [](float* o, const float* i) { hcuda_2d_log10(o, i, 3, 2); }},
      {[](float* d) { hcuda_2d_pow_inplace(d, 3, 2, 2); }, [](float* o, const float* i) { hcuda_2d_pow(o, i, 3, 2, 2); }},
      {[](float* d) { hcuda_2d_invert_inplace(d, 3, 2); }, [](float* o, const float* i) { hcuda_2d_multi(o, i, 3, 2, -1); }},
      {[Q](float* d) { hcuda_x2d_add_inplace(d, Q, 3, 2); }, [Q](float* o, const float* i) { hcuda_x2d_add(o, i, Q, 3, 2); }},
      {[Q](float* d) { hcuda_x2d_sub_inplace(d, Q, 3, 2); }, [Q](float* o, const float* i) { hcuda_x2d_sub(o, i, Q, 3, 2); }},
      {[Q](float* d) { hcuda_x2d_multi_inplace(d, Q, 3, 2); }, [Q](float* o, const float* i) { hcuda_x2d_multi(o, i, Q, 3, 2); }},
      {[Q](float* d) { hcuda_x2d_divide_inplace(d, Q, 3, 2); }, [Q](float* o, const float* i) { hcuda_x2d_divide(o, i, Q, 3, 2); }},
  };
  int k = 0;
  for (const auto& pair : pairs) {
    DeviceBuffer<float> data = device_copy_of(p), in = device_copy_of(p), out(6);
    pair.first(data.get());
    pair.second(out.get(), in.get());
    expect_same(host_copy_of(data), host_copy_of(out), "pair " + std::to_string(k++));
    EXPECT_NE(host_copy_of(data), p);
  }
}

TEST(Elementwise2d, StacksMultiplyImageByImage) {
  DeviceBuffer<float> stack = device_copy_of(Floats{1, 2, 3, 4, 5, 6});
  DeviceBuffer<float> q = device_copy_of(Floats{2, 2, 2, -1, -1, -1});
  hcuda_x2ds_multi_inplace(stack.get(), q.get(), 3, 1, 2);
  EXPECT_EQ(host_copy_of(stack), (Floats{2, 4, 6, -4, -5, -6}));
}

TEST(Elementwise2d, ZeroDivisorsAreRefusedWhereChecked) {
  DeviceBuffer<float> image = device_copy_of(Floats{1, 2}), out(2);
  const char* message = "Error in function %s\\(\\), file process2d_raw on line [0-9]+: divisor must be non-zero value\n! Exit now!";
  char divide[256], sub_divide[256];
  snprintf(divide, sizeof divide, message, "hcuda_2d_divide");
  snprintf(sub_divide, sizeof sub_divide, message, "hcuda_2d_sub_divide");
  EXPECT_EXIT_STDOUT(hcuda_2d_divide(out.get(), image.get(), 2, 1, 0.0f), 1, divide);
  EXPECT_EXIT_STDOUT(hcuda_2d_divide(out.get(), image.get(), 2, 1, -0.0f), 1, divide);
  EXPECT_EXIT_STDOUT(hcuda_2d_sub_divide(out.get(), image.get(), 2, 1, 5.0f, 0.0f), 1, sub_divide);
  // A zero subtrahend is fine.
  hcuda_2d_sub_divide(out.get(), image.get(), 2, 1, 0.0f, 2.0f);
  EXPECT_EQ(host_copy_of(out), (Floats{0.5f, 1}));
}

TEST(Elementwise2d, HostInvertFlipsTheSignBit) {
  Floats data = {0.0f, -3.0f, kInf, std::nanf(""), 1e-40f, 5.0f};
  host_2d_invert_inplace(data.data(), 5, 1);
  EXPECT_TRUE(std::signbit(data[0]));
  EXPECT_EQ(data[1], 3.0f);
  EXPECT_EQ(data[2], -kInf);
  EXPECT_TRUE(std::isnan(data[3]) && std::signbit(data[3]));
  EXPECT_EQ(data[4], -1e-40f);
  EXPECT_EQ(data[5], 5.0f) << "only nx * ny values change";
}

// The 3 x 2 image 0 1 2 / 3 4 5.
const Floats kImage = {0, 1, 2, 3, 4, 5};

TEST(Flip, FlipsAndTransposeOfA3x2Image) {
  DeviceBuffer<float> in = device_copy_of(kImage), out(6);
  hcuda_2d_flipx(out.get(), in.get(), 3, 2);
  EXPECT_EQ(host_copy_of(out), (Floats{2, 1, 0, 5, 4, 3}));
  hcuda_2d_flipy(out.get(), in.get(), 3, 2);
  EXPECT_EQ(host_copy_of(out), (Floats{3, 4, 5, 0, 1, 2}));
  // 2 wide and 3 high: 0 3 / 1 4 / 2 5.
  hcuda_2d_flipxy(out.get(), in.get(), 3, 2);
  EXPECT_EQ(host_copy_of(out), (Floats{0, 3, 1, 4, 2, 5}));
}

TEST(Flip, MirrorPadAndItsInverse) {
  DeviceBuffer<float> in = device_copy_of(kImage), padded(24), back(6);
  hcuda_2d_mirror_pad(padded.get(), in.get(), 3, 2);
  EXPECT_EQ(host_copy_of(padded), (Floats{0, 1, 2, 2, 1, 0,  //
                                          3, 4, 5, 5, 4, 3,  //
                                          3, 4, 5, 5, 4, 3,  //
                                          0, 1, 2, 2, 1, 0}));
  DeviceBuffer<float> marked = device_copy_of(Floats{0, 1, 2, 9, 9, 9, 3, 4, 5, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9});
  hcuda_2d_mirror_pad_inv(back.get(), marked.get(), 3, 2);
  EXPECT_EQ(host_copy_of(back), kImage);
}

}  // namespace
