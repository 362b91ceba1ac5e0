// The read-ahead of the next micrograph: its pixels are handed over only for the very file the run
// opens afterwards, read completely; a file replaced or rewritten after the read, another name or
// another size leaves the caller's buffer alone, so that the ordinary read takes over.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "io/micrograph_file.h"
#include "io/mrc_header.h"
#include "mrc_test_files.h"
#include "run/micrograph_prefetch.h"
#include "test_util.h"
#include "tiff_test_files.h"

namespace {

constexpr int kNx = 6, kNy = 5, kNz = 2;
constexpr size_t kValues = size_t(kNx) * kNy * kNz;

// A mode-1 movie whose value k is k * step - 7.
void write_movie(const std::string& path, int16_t step) {
  std::vector<int16_t> values(kValues);
  for (size_t k = 0; k < kValues; ++k) values[k] = static_cast<int16_t>(int(k) * step - 7);
  write_test_mrc(path, mrc_test_head(kNx, kNy, kNz, MRC_MODE_SHORT), mrc_test_elements(values));
}

// What the run does: open the file, read its header, then ask for the prefetched pixels.
bool take(MicrographPrefetch& prefetch, const std::string& path, HostBuffer<float>& pixels) {
  FILE* file = fopen(path.c_str(), "rb");
  if (!file) return false;
  MRC_HEAD head;
  const bool taken = micrograph_read_head(file, &head).empty() && prefetch.take(path, file, head, pixels);
  fclose(file);
  return taken;
}

TEST(MicrographPrefetch, HandsOverTheConvertedPixelsOfTheSameUnchangedFileOnly) {
  TempDir dir;
  const std::string a = dir.file("a.mrcs"), b = dir.file("b.mrcs");
  write_movie(a, 3);
  write_movie(b, 5);
  MicrographPrefetch prefetch(kValues);
  HostBuffer<float> pixels(kValues);

  prefetch.start(a);
  ASSERT_TRUE(take(prefetch, a, pixels));
  for (size_t k = 0; k < kValues; ++k) ASSERT_EQ(pixels.get()[k], float(int(k) * 3 - 7)) << k;
  EXPECT_FALSE(take(prefetch, a, pixels)) << "one read is handed over once";

  prefetch.start(a);
  EXPECT_FALSE(take(prefetch, b, pixels)) << "another name";

  // Replaced by another file under the same name (as a copy that renames into place does), then
  // rewritten in place with the same size and a later time. The read usually ends before the change
  // (the pause gives it time); whenever it does not, a hand-over must still bring the new pixels:
  // pixels that are handed over are always the file's current ones.
  const auto change_after_read = [&](int16_t step, bool in_place) {
    prefetch.start(a);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const std::string target = in_place ? a : dir.file("new.mrcs");
    write_movie(target, step);
    if (!in_place) {
      ASSERT_EQ(rename(target.c_str(), a.c_str()), 0);
    }
    struct stat now;
    ASSERT_EQ(stat(a.c_str(), &now), 0);
    struct timespec times[2] = {{0, UTIME_OMIT}, {now.st_mtim.tv_sec + 2, now.st_mtim.tv_nsec}};
    ASSERT_EQ(utimensat(AT_FDCWD, a.c_str(), times, 0), 0);
    pixels.get()[1] = 12345.0f;
    if (take(prefetch, a, pixels)) {
      EXPECT_EQ(pixels.get()[1], float(step - 7)) << "stale pixels handed over";
    } else {
      EXPECT_EQ(pixels.get()[1], 12345.0f) << "the caller's buffer is left alone";
    }
  };
  change_after_read(11, false);
  change_after_read(13, true);
}

TEST(MicrographPrefetch, AFileOfAnotherSizeOrADamagedOneIsNotRead) {
  TempDir dir;
  const std::string small = dir.file("small.mrc"), short_file = dir.file("short.mrcs");
  write_test_mrc(small, mrc_test_head(kNx, kNy, 1, MRC_MODE_FLOAT), Bytes(kNx * kNy * 4, 0));
  Bytes cut = mrc_test_file_bytes(mrc_test_head(kNx, kNy, kNz, MRC_MODE_FLOAT), Bytes(kValues * 4, 0));
  cut.resize(cut.size() - 4);
  write_test_file(short_file, cut);
  MicrographPrefetch prefetch(kValues);
  HostBuffer<float> pixels(kValues);
  for (const std::string& path : {small, short_file}) {
    prefetch.start(path);
    EXPECT_FALSE(take(prefetch, path, pixels)) << path;
  }
  // Micrographs too large to hold twice are only read into the system's cache: nothing to hand over.
  MicrographPrefetch too_large(size_t(1) << 40);
  too_large.start(short_file);
  EXPECT_FALSE(take(too_large, short_file, pixels));
}

TEST(MicrographPrefetch, TiffMoviesAreReadAheadAsTheirValues) {
  TempDir dir;
  const std::string movie = dir.file("movie.tif"), cut = dir.file("cut.tif");
  std::vector<int16_t> values(kValues);
  for (size_t k = 0; k < kValues; ++k) values[k] = static_cast<int16_t>(int(k) * 9 - 100);
  TestTiffWriter(movie).add_pages(values, kNx, kNy, kNz, {COMPRESSION_LZW});
  const Bytes whole = read_test_file(movie);
  write_test_file(cut, Bytes(whole.begin(), whole.end() - 40));
  MicrographPrefetch prefetch(kValues);
  HostBuffer<float> pixels(kValues);
  prefetch.start(movie);
  ASSERT_TRUE(take(prefetch, movie, pixels));
  for (size_t k = 0; k < kValues; ++k) ASSERT_EQ(pixels.get()[k], float(values[k])) << k;
  prefetch.start(cut);
  EXPECT_FALSE(take(prefetch, cut, pixels));
}

// A reader that gets nowhere (here it waits on a named pipe that nobody writes, as it would on a
// stalled disk, or at idle priority on cores that other programs keep busy) holds up neither the
// run's own read of that file nor the next file: the run reads both the ordinary way.
TEST(MicrographPrefetch, AReaderThatGetsNowhereIsLeftBehind) {
  TempDir dir;
  const std::string pipe = dir.file("stalled.mrc"), next = dir.file("next.mrcs");
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  write_movie(next, 3);
  MicrographPrefetch prefetch(kValues);
  HostBuffer<float> pixels(kValues);
  std::future<std::pair<bool, bool>> run;
  // Lets the stalled reader end, also when a check below fails: a writer that opens and closes the
  // pipe at once leaves the reader an empty file.
  struct ReleasePipe {
    std::string path;
    bool done = false;
    void operator()() {
      for (int tries = 0; tries < 10000 && !done; ++tries) {
        const int fd = open(path.c_str(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0) {
          close(fd);
          done = true;
        } else {
          std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
      }
    }
    ~ReleasePipe() { (*this)(); }
  } release{pipe};

  prefetch.start(pipe);
  run = std::async(std::launch::async, [&] {
    FILE* file = fopen(next.c_str(), "rb");
    MRC_HEAD head;
    const bool pipe_taken =
        file && micrograph_read_head(file, &head).empty() && prefetch.take(pipe, file, head, pixels);
    if (file) fclose(file);
    prefetch.start(next);
    return std::make_pair(pipe_taken, take(prefetch, next, pixels));
  });
  ASSERT_EQ(run.wait_for(std::chrono::minutes(2)), std::future_status::ready) << "the run waits for a stalled reader";
  const std::pair<bool, bool> taken = run.get();
  EXPECT_FALSE(taken.first);
  EXPECT_FALSE(taken.second) << "the next file is read ahead only once the stalled reader has ended";

  release();
  for (int tries = 0; tries < 1000; ++tries) {
    prefetch.start(next);
    if (take(prefetch, next, pixels)) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(pixels.get()[2], float(2 * 3 - 7)) << "read ahead again once the stalled reader has ended";
}

}  // namespace
