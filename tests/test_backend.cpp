// The backend layer: device memory, device selection and FFT plans against a direct DFT.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "backend/device.h"
#include "backend/device_failure.h"
#include "backend/fft_plan.h"
#include "backend/memory.h"
#include "backend/workspace.h"

namespace {

std::vector<float> random_image(int nx, int ny, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> u(-1.0f, 1.0f);
  std::vector<float> v(static_cast<size_t>(nx) * ny);
  for (float& x : v) x = u(rng);
  return v;
}

// The half-complex forward transform by its definition, in double precision.
std::vector<std::complex<double>> direct_dft(const std::vector<float>& f, int nx, int ny) {
  const int nh = nx / 2 + 1;
  std::vector<std::complex<double>> out(static_cast<size_t>(nh) * ny);
  for (int ky = 0; ky < ny; ++ky)
    for (int kx = 0; kx < nh; ++kx) {
      std::complex<double> sum = 0;
      for (int y = 0; y < ny; ++y)
        for (int x = 0; x < nx; ++x) {
          const double phase = -2 * M_PI * (double(kx) * x / nx + double(ky) * y / ny);
          sum += double(f[y * nx + x]) * std::complex<double>(cos(phase), sin(phase));
        }
      out[ky * nh + kx] = sum;
    }
  return out;
}

// Device arrays of n values of T placed `offset` floats past an aligned start: an offset of one
// float misaligns them for both FFT libraries.
template <class T>
struct PlacedArray {
  PlacedArray(size_t n, int offset) : buffer(n * sizeof(T) / sizeof(float) + offset), offset(offset) {}
  T* get() const { return reinterpret_cast<T*>(buffer.get() + offset); }
  std::vector<float> floats(size_t n) const { return host_copy_of(buffer.get() + offset, n * sizeof(T) / sizeof(float)); }
  DeviceBuffer<float> buffer;
  int offset;
};

bool same_bits(const std::vector<float>& a, const std::vector<float>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

// Forward and inverse transforms of `count` images with input and output at the given offsets.
struct PlacedTransforms {
  std::vector<float> spectra, images;
};

PlacedTransforms placed_transforms(const FftPlan2d& plan, const std::vector<float>& images, int count, int in_offset,
                                   int out_offset) {
  const size_t real = static_cast<size_t>(plan.nx()) * plan.ny() * count;
  const size_t half = static_cast<size_t>(plan.nx() / 2 + 1) * plan.ny() * count;
  PlacedArray<float> in(real, in_offset), back(real, out_offset);
  PlacedArray<float2> spectra(half, out_offset), spectra_in(half, in_offset);
  memcpy_H2D(in.get(), images.data(), real * sizeof(float));
  EXPECT_EQ(plan.forward(in.get(), spectra.get(), count), 0);
  const std::vector<float> forward = spectra.floats(half);
  memcpy_H2D(spectra_in.get(), forward.data(), forward.size() * sizeof(float));
  EXPECT_EQ(plan.inverse(spectra_in.get(), back.get(), count), 0);
  return {forward, back.floats(real)};
}

TEST(DeviceMemory, RoundTripsThroughDeviceCopies) {
  const std::vector<float> values = {1.5f, -2.0f, 3.25f, 0.0f, 7.0f};
  DeviceBuffer<float> device = device_copy_of(values);
  DeviceBuffer<float> copy(values.size());
  memcpy_D2D(copy.get(), device.get(), device.bytes());
  EXPECT_EQ(host_copy_of(copy), values);
  hcuda_empty(copy.get(), 2 * sizeof(float));
  const std::vector<float> emptied = host_copy_of(copy);
  EXPECT_EQ(emptied, (std::vector<float>{0.0f, 0.0f, 3.25f, 0.0f, 7.0f}));
  DeviceBuffer<float> moved = std::move(copy);
  EXPECT_EQ(copy.get(), nullptr);
  EXPECT_EQ(moved.size(), values.size());
  EXPECT_EQ(DeviceBuffer<float>(0).get(), nullptr);
}

TEST(Device, ExistingDeviceZeroIsAccepted) {
  int gid = 0;
  EXPECT_EQ(check_and_set_gid(gid), 0);
  EXPECT_EQ(gid, 0);
}

TEST(FftPlan, ForwardMatchesDirectDftOnEvenAndOddSizes) {
  const int sizes[][2] = {{4, 6}, {5, 3}, {7, 7}, {8, 5}, {6, 1}, {1, 4}, {16, 12}};
  for (const auto& size : sizes) {
    const int nx = size[0], ny = size[1], nh = nx / 2 + 1;
    SCOPED_TRACE(testing::Message() << nx << " x " << ny);
    const std::vector<float> image = random_image(nx, ny, nx * 31 + ny);
    const auto expected = direct_dft(image, nx, ny);
    DeviceBuffer<float> in = device_copy_of(image);
    DeviceBuffer<float2> out(static_cast<size_t>(nh) * ny);
    fft_plan_2d(nx, ny).forward(in.get(), out.get());
    const std::vector<float2> got = host_copy_of(out);
    for (size_t i = 0; i < got.size(); ++i) {
      EXPECT_NEAR(got[i].x, expected[i].real(), 1e-4);
      EXPECT_NEAR(got[i].y, expected[i].imag(), 1e-4);
    }
    EXPECT_EQ(host_copy_of(in), image) << "the forward transform must keep its input";
  }
}

TEST(FftPlan, InverseOfForwardScalesByPixelCount) {
  const int sizes[][2] = {{6, 4}, {9, 5}, {32, 32}};
  for (const auto& size : sizes) {
    const int nx = size[0], ny = size[1], nh = nx / 2 + 1;
    const std::vector<float> image = random_image(nx, ny, 7);
    DeviceBuffer<float> in = device_copy_of(image);
    DeviceBuffer<float2> spectrum(static_cast<size_t>(nh) * ny);
    DeviceBuffer<float> back(image.size());
    const FftPlan2d& plan = fft_plan_2d(nx, ny);
    plan.forward(in.get(), spectrum.get());
    plan.inverse(spectrum.get(), back.get());
    const std::vector<float> got = host_copy_of(back);
    for (size_t i = 0; i < image.size(); ++i) EXPECT_NEAR(got[i], image[i] * nx * ny, 1e-3 * nx * ny);
  }
}

TEST(FftPlan, BatchesAndUnalignedArraysGiveTheSameTransforms) {
  const int nx = 10, ny = 6, nh = nx / 2 + 1, count = 3;
  const size_t real = static_cast<size_t>(nx) * ny, half = static_cast<size_t>(nh) * ny;
  // One float of offset makes the images unaligned for vector loads.
  std::vector<float> stack(1 + count * real);
  const std::vector<float> images = random_image(nx, ny * count, 3);
  std::copy(images.begin(), images.end(), stack.begin() + 1);
  DeviceBuffer<float> in = device_copy_of(stack);
  DeviceBuffer<float2> batch(count * half);
  const FftPlan2d& plan = fft_plan_2d(nx, ny);
  plan.forward(in.get() + 1, batch.get(), count);
  const std::vector<float2> got = host_copy_of(batch);
  for (int k = 0; k < count; ++k) {
    const std::vector<float> one(images.begin() + k * real, images.begin() + (k + 1) * real);
    const auto expected = direct_dft(one, nx, ny);
    for (size_t i = 0; i < half; ++i) {
      EXPECT_NEAR(got[k * half + i].x, expected[i].real(), 1e-4);
      EXPECT_NEAR(got[k * half + i].y, expected[i].imag(), 1e-4);
    }
  }

  // Misaligned inputs and outputs, of single transforms and of batches both ways, give the bits
  // of aligned ones. With 9 x 5 images every other image of a batch starts misaligned.
  const int sizes[][2] = {{nx, ny}, {9, 5}};
  for (const auto& size : sizes) {
    const FftPlan2d& sized = fft_plan_2d(size[0], size[1]);
    const std::vector<float> several = random_image(size[0], size[1] * count, 5);
    const std::vector<float> first(several.begin(), several.begin() + size[0] * size[1]);
    for (const int n : {1, count}) {
      const std::vector<float>& images = n == 1 ? first : several;
      const PlacedTransforms aligned = placed_transforms(sized, images, n, 0, 0);
      for (const auto& offsets : {std::make_pair(1, 0), std::make_pair(0, 1), std::make_pair(1, 1)}) {
        SCOPED_TRACE(testing::Message() << size[0] << " x " << size[1] << ", " << n << " image(s), offsets "
                                        << offsets.first << " and " << offsets.second);
        const PlacedTransforms placed = placed_transforms(sized, images, n, offsets.first, offsets.second);
        EXPECT_TRUE(same_bits(placed.spectra, aligned.spectra));
        EXPECT_TRUE(same_bits(placed.images, aligned.images));
      }
    }
  }
}

TEST(FftPlan, APlanThatCannotBeMadeFailsItsTransformsAndTheProgramGoesOn) {
  DeviceBuffer<float> image(8);
  DeviceBuffer<float2> spectrum(8);
  testing::internal::CaptureStdout();
  const FftPlan2d plan(0, 4);
  const int forward = plan.forward(image.get(), spectrum.get());
  const int inverse = plan.inverse(spectrum.get(), image.get());
  const std::string printed = testing::internal::GetCapturedStdout();
  const DeviceFailure failure = device_failure();
  clear_device_failure();
  EXPECT_EQ(forward, -1);
  EXPECT_EQ(inverse, -1);
  const std::string unit = QUIB_CUDA ? "cufft" : "fftw";
  EXPECT_EQ(failure.unit, unit);
  EXPECT_EQ(failure.text, "Invalid FFT size");
  EXPECT_EQ(failure.count, 3) << "the plan and both transforms";
  EXPECT_TRUE(testing::internal::RE::FullMatch(
      printed, "Warning in function FftPlan2d\\(\\), file " + unit + " on line [0-9]+: Invalid FFT size!\n"))
      << printed;
  EXPECT_FALSE(device_failed());
}

}  // namespace
