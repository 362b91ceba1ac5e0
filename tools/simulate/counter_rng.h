// Counter-based random numbers: every value is a hash of (seed, stream, frame, element, draw), so
// an element's numbers are the same whichever order or thread computes them.
#pragma once

#include <cmath>
#include <cstdint>

// The independent random streams of one simulation.
enum class RandomStream : uint64_t { kIce = 1, kSpecimenField, kParticles, kIllumination, kShotNoise };

// The SplitMix64 finaliser: a bijective 64-bit mix with good avalanche.
inline uint64_t mix64(uint64_t z) {
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

// The key shared by all elements of one stream (and one frame) of a simulation.
inline uint64_t stream_key(uint64_t seed, RandomStream stream, uint64_t frame = 0) {
  return mix64(mix64(mix64(seed) ^ static_cast<uint64_t>(stream)) + frame);
}

// The draws of one element of a stream, in order.
class CounterRng {
 public:
  CounterRng(uint64_t key, uint64_t element) : base_(mix64(key ^ mix64(element + kGolden))) {}

  uint64_t next_u64() { return mix64(base_ + kGolden * ++count_); }
  // Uniform in (0, 1): never 0 or 1, so logarithms stay finite.
  double uniform() { return (static_cast<double>(next_u64() >> 11) + 0.5) * 0x1.0p-53; }
  // Two independent standard normal values (Box-Muller).
  void gaussian_pair(double& a, double& b) {
    const double r = std::sqrt(-2.0 * std::log(uniform()));
    const double phi = 6.283185307179586 * uniform();
    a = r * std::cos(phi);
    b = r * std::sin(phi);
  }
  double gaussian() {
    double a, b;
    gaussian_pair(a, b);
    return a;
  }

 private:
  static constexpr uint64_t kGolden = 0x9E3779B97F4A7C15ull;
  uint64_t base_;
  uint64_t count_ = 0;
};
