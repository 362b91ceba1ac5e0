#include "ctf/band_pixels.h"

#include <algorithm>
#include <vector>

#include "backend/workspace.h"
#include "core/ctf_formula.h"
#include "ctf/half_spectrum.h"

namespace {

struct BandKey {
  float apix, resL, resH, B;
  int nh, ny;
  bool operator==(const BandKey& o) const {
    return apix == o.apix && resL == o.resL && resH == o.resH && B == o.B && nh == o.nh && ny == o.ny;
  }
};

struct CachedBand {
  BandKey key;
  std::shared_ptr<const BandPixels> pixels;
};

// Enough for the bands of one micrograph's refinements and its validation.
constexpr size_t kCachedBands = 8;

// The workspace's tables, least recently used first.
struct BandCache {
  std::vector<CachedBand> bands;
};

std::shared_ptr<const BandPixels> build_band_pixels(const BandKey& key) {
  std::vector<int> index;
  std::vector<float> s2, cos2t, sin2t, envelope;
  for (int y = 0; y < key.ny; ++y)
    for (int x = 0; x < key.nh; ++x) {
      const HalfSpectrumPixel p = half_spectrum_pixel(x, y, key.nh, key.ny, key.apix);
      if (!in_band(p.s, key.resL, key.resH)) continue;
      // cos 2 theta and sin 2 theta from the pixel's coordinates, exact to rounding (the zero
      // frequency, in band only for an infinite resL, takes theta = 0).
      const double dx = x, dy = y - key.ny / 2;
      const double r2 = dx * dx + dy * dy;
      const bool centre = r2 == 0.0;
      index.push_back(y * key.nh + x);
      s2.push_back(static_cast<float>(static_cast<double>(p.s) * p.s));
      cos2t.push_back(centre ? 1.0f : static_cast<float>((dx * dx - dy * dy) / r2));
      sin2t.push_back(centre ? 0.0f : static_cast<float>(2.0 * dx * dy / r2));
      envelope.push_back(ctf_envelope(key.B, p.s));
    }
  auto pixels = std::make_shared<BandPixels>();
  pixels->count = index.size();
  pixels->index = device_copy_of(index);
  pixels->s2 = device_copy_of(s2);
  pixels->cos2t = device_copy_of(cos2t);
  pixels->sin2t = device_copy_of(sin2t);
  pixels->envelope = device_copy_of(envelope);
  return pixels;
}

}  // namespace

std::shared_ptr<const BandPixels> band_pixels(float apix, int nh, int ny, float resL, float resH, float B) {
  std::vector<CachedBand>& cache = workspace().attachment<BandCache>().bands;
  const BandKey key{apix, resL, resH, B, nh > 0 ? nh : 0, ny > 0 ? ny : 0};
  auto hit = std::find_if(cache.begin(), cache.end(), [&](const CachedBand& c) { return c.key == key; });
  if (hit != cache.end()) {
    std::rotate(hit, hit + 1, cache.end());
    return cache.back().pixels;
  }
  if (cache.size() == kCachedBands) cache.erase(cache.begin());
  cache.push_back({key, build_band_pixels(key)});
  return cache.back().pixels;
}
