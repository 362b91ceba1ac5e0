// Element-wise operations on complex arrays, alone and with real arrays.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "arrays/array_ops_complex.h"
#include "backend/memory.h"

namespace {

using Complex = std::vector<float2>;

void expect_same(const Complex& got, const Complex& expected, const std::string& what) {
  ASSERT_EQ(got.size(), expected.size()) << what;
  for (size_t i = 0; i < got.size(); ++i) {
    EXPECT_FLOAT_EQ(got[i].x, expected[i].x) << what << " [" << i << "].x";
    EXPECT_FLOAT_EQ(got[i].y, expected[i].y) << what << " [" << i << "].y";
  }
}

// p = 1+2i, 3-i and q = 2-i, i as a 2 x 1 array; r = 2, -0.5.
const Complex kP = {{1, 2}, {3, -1}};
const Complex kQ = {{2, -1}, {0, 1}};
const std::vector<float> kR = {2, -0.5f};

using Op = std::function<void(float2* out, const float2* p, const float2* q, const float* r)>;
using InPlace = std::function<void(float2* data, const float2* q, const float* r)>;

struct Case {
  const char* name;
  Op op;
  InPlace in_place;  // empty where there is no in-place form
  Complex expected;
};

TEST(Complex2d, WorkedExamples) {
  const Case cases[] = {
      {"cxc add", [](float2* o, const float2* p, const float2* q, const float*) { hcuda_cxc_2d_add(o, p, q, 2, 1); },
       [](float2* d, const float2* q, const float*) { hcuda_cxc_2d_add_inplace(d, q, 2, 1); },
       {{3, 1}, {3, 0}}},
      {"cxc sub", [](float2* o, const float2* p, const float2* q, const float*) { hcuda_cxc_2d_sub(o, p, q, 2, 1); },
       [](float2* d, const float2* q, const float*) { hcuda_cxc_2d_sub_inplace(d, q, 2, 1); },
       {{-1, 3}, {3, -2}}},
      // (1+2i)(2-i) = 4+3i, (3-i)i = 1+3i
      {"cxc multi", [](float2* o, const float2* p, const float2* q, const float*) { hcuda_cxc_2d_multi(o, p, q, 2, 1); },
       [](float2* d, const float2* q, const float*) { hcuda_cxc_2d_multi_inplace(d, q, 2, 1); },
       {{4, 3}, {1, 3}}},
      // (1+2i)(2+i) = 5i, (3-i)(-i) = -1-3i
      {"cxc multconj", [](float2* o, const float2* p, const float2* q, const float*) { hcuda_cxc_2d_multconj(o, p, q, 2, 1); },
       [](float2* d, const float2* q, const float*) { hcuda_cxc_2d_multconj_inplace(d, q, 2, 1); },
       {{0, 5}, {-1, -3}}},
      // 5i / |2-i|^2 = i, (-1-3i) / |i|^2
      {"cxc divide", [](float2* o, const float2* p, const float2* q, const float*) { hcuda_cxc_2d_divide(o, p, q, 2, 1); },
       [](float2* d, const float2* q, const float*) { hcuda_cxc_2d_divide_inplace(d, q, 2, 1); },
       {{0, 1}, {-1, -3}}},
      {"cxc multconj divide",
       [](float2* o, const float2* p, const float2* q, const float*) { hcuda_cxc_2d_multconj_divide(o, p, q, 2, 2, 1); },
       nullptr, {{0, 2.5f}, {-0.5f, -1.5f}}},
      {"cxr multi", [](float2* o, const float2* p, const float2*, const float* r) { hcuda_cxr_2d_multi(o, p, r, 2, 1); },
       [](float2* d, const float2*, const float* r) { hcuda_cxr_2d_multi_inplace(d, r, 2, 1); },
       {{2, 4}, {-1.5f, 0.5f}}},
      {"cxr divide", [](float2* o, const float2* p, const float2*, const float* r) { hcuda_cxr_2d_divide(o, p, r, 2, 1); },
       [](float2* d, const float2*, const float* r) { hcuda_cxr_2d_divide_inplace(d, r, 2, 1); },
       {{0.5f, 1}, {-6, 2}}},
  };
  DeviceBuffer<float2> p = device_copy_of(kP), q = device_copy_of(kQ);
  DeviceBuffer<float> r = device_copy_of(kR);
  for (const Case& c : cases) {
    DeviceBuffer<float2> out(2);
    c.op(out.get(), p.get(), q.get(), r.get());
    expect_same(host_copy_of(out), c.expected, c.name);
    if (c.in_place) {
      DeviceBuffer<float2> data = device_copy_of(kP);
      c.in_place(data.get(), q.get(), r.get());
      expect_same(host_copy_of(data), c.expected, std::string(c.name) + " in place");
    }
  }
}

TEST(Complex2d, StackTimesRealStackImageByImage) {
  // Two 1 x 2 images in each stack.
  DeviceBuffer<float2> stack = device_copy_of(Complex{{1, 1}, {2, -2}, {3, 0}, {0, 4}});
  DeviceBuffer<float> r = device_copy_of(std::vector<float>{2, 3, -1, 0.5f});
  hcuda_cxr_2ds_multi_inplace(stack.get(), r.get(), 1, 2, 2);
  expect_same(host_copy_of(stack), Complex{{2, 2}, {6, -6}, {-3, 0}, {0, 2}}, "stack");
}

}  // namespace
