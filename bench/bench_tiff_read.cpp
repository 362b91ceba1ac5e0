// Reading a 4096 x 4096 x 40-frame movie of 16-bit counts: as an LZW-compressed TIFF (the form
// EPU and SerialEM write) against the same counts as an MRC file of mode 6, through the reader a
// run uses. Bytes processed are those of the 16-bit samples, so the rates compare directly; the
// files are written once (under /tmp) and read from the page cache. The frames repeat one
// simulated counting-mode frame of about one electron per pixel.
#include <benchmark/benchmark.h>
#include <tiffio.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "backend/memory.h"
#include "core/file_ptr.h"
#include "io/micrograph_file.h"
#include "simulate/mrc_output.h"
#include "simulate/simulate.h"

namespace {

constexpr int kSide = 4096, kFrames = 40;

class MovieFiles {
 public:
  MovieFiles() {
    char pattern[] = "/tmp/quib_bench_tiff_XXXXXX";
    folder_ = mkdtemp(pattern);
    SimParams p;
    p.nx = p.ny = kSide;
    p.apix = 1.0f;
    p.dose = 1.0f;
    const std::vector<float> frame = simulate_micrograph(p).frames;
    const std::vector<uint16_t> counts(frame.begin(), frame.end());
    MrcFrameWriter mrc(mrc_path(), kSide, kSide, kFrames, MRC_MODE_USHORT, p.apix);
    TIFF* tiff = TIFFOpen(tiff_path().c_str(), "w");
    for (int f = 0; f < kFrames; ++f) {
      mrc.add_frame(frame.data());
      TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, kSide);
      TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, kSide);
      TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 16);
      TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 1);
      TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
      TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
      TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, 64);
      for (int strip = 0; strip < kSide / 64; ++strip)
        TIFFWriteEncodedStrip(tiff, strip, const_cast<uint16_t*>(counts.data()) + size_t(strip) * 64 * kSide,
                              64 * kSide * 2);
      TIFFWriteDirectory(tiff);
    }
    TIFFClose(tiff);
    mrc.finish();
  }
  ~MovieFiles() {
    remove(mrc_path().c_str());
    remove(tiff_path().c_str());
    rmdir(folder_.c_str());
  }
  std::string mrc_path() const { return folder_ + "/movie.mrcs"; }
  std::string tiff_path() const { return folder_ + "/movie.tif"; }

 private:
  std::string folder_;
};

const MovieFiles& files() {
  static const MovieFiles made;
  return made;
}

void read_movie(benchmark::State& state, const std::string& path) {
  HostBuffer<float> pixels(size_t(kSide) * kSide * kFrames);
  for (auto _ : state) {
    const FilePtr file(fopen(path.c_str(), "rb"));
    MRC_HEAD head;
    std::string why;
    if (!micrograph_read_head(file.get(), &head).empty() || !micrograph_read_all(file.get(), &head, pixels.get(), why))
      state.SkipWithError("the movie could not be read");
  }
  const FilePtr file(fopen(path.c_str(), "rb"));
  fseek(file.get(), 0, SEEK_END);
  state.counters["file_MB"] = double(ftell(file.get())) / 1e6;
  state.SetBytesProcessed(int64_t(state.iterations()) * kSide * kSide * kFrames * 2);
}

void BM_ReadMovieMrcUshort(benchmark::State& state) { read_movie(state, files().mrc_path()); }
void BM_ReadMovieTiffLzw(benchmark::State& state) { read_movie(state, files().tiff_path()); }

BENCHMARK(BM_ReadMovieMrcUshort)->Unit(benchmark::kSecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_ReadMovieTiffLzw)->Unit(benchmark::kSecond)->Iterations(3)->UseRealTime();

}  // namespace
