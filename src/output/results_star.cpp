#include "output/results_star.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <sstream>

namespace {

bool write_all(int fd, const std::string& text) {
  const char* p = text.data();
  size_t left = text.size();
  while (left > 0) {
    const ssize_t n = write(fd, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    left -= static_cast<size_t>(n);
  }
  return true;
}

bool read_all(int fd, std::string& text) {
  char buffer[1 << 16];
  for (;;) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    text.append(buffer, static_cast<size_t>(n));
  }
}

// Flushes written data to the disk; devices and pipes that cannot be synchronised are no failure.
bool sync_to_disk(int fd) { return fdatasync(fd) == 0 || errno == EINVAL || errno == EROFS; }

// The columns of the head's last table, the one the rows belong to (a head may start with others,
// such as RELION 3.1's optics table).
size_t label_count(const std::string& head) {
  const size_t loop = head.rfind("\nloop_");
  size_t count = 0;
  for (size_t at = head.find("\n_rln", loop == std::string::npos ? 0 : loop); at != std::string::npos;
       at = head.find("\n_rln", at + 1))
    ++count;
  return count;
}

bool starts_with(const std::string& text, const std::string& prefix) {
  return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

ResultsStarOpen open_results_star(ResultsStar& star, const char* path) {
  star.path = path;
  star.created = access(path, F_OK) != 0;
  star.fd = FileDescriptor(open(path, O_RDWR | O_CREAT | O_CLOEXEC, 0666));
  if (!star.fd) return ResultsStarOpen::CannotOpen;
  // File systems without advisory locks run unlocked rather than not at all.
  if (flock(star.fd.get(), LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
    star.created = false;
    return ResultsStarOpen::Locked;
  }
  struct stat info;
  star.regular = fstat(star.fd.get(), &info) == 0 && S_ISREG(info.st_mode);
  if (star.regular && !read_all(star.fd.get(), star.earlier)) return ResultsStarOpen::CannotOpen;
  return ResultsStarOpen::Ok;
}

bool read_earlier_rows(const ResultsStar& star, const std::string& head, std::vector<std::string>& rows) {
  if (!starts_with(star.earlier, head)) return star.earlier.find_first_not_of(" \t\r\n") == std::string::npos;
  const size_t labels = label_count(head);
  const std::string& text = star.earlier;
  size_t begin = head.size();
  for (size_t end = text.find('\n', begin); end != std::string::npos; begin = end + 1, end = text.find('\n', begin)) {
    const std::string line = text.substr(begin, end - begin);
    std::istringstream words(line);
    size_t count = 0;
    for (std::string word; words >> word;) ++count;
    if (count == labels) rows.push_back(line + "\n");
  }
  return true;
}

std::string row_micrograph(const std::string& row) {
  std::istringstream words(row);
  std::string micrograph;
  words >> micrograph;
  return micrograph;
}

void start_results_table(ResultsStar& star, const std::string& head, const std::vector<std::string>& kept) {
  star.start = head;
  for (const std::string& row : kept) star.start += row;
}

bool append_results_row(ResultsStar& star, const std::string& row) {
  const int fd = star.fd.get();
  if (!star.started) {
    star.started = true;
    if (star.regular) {
      // Mostly the earlier file already begins with the new start (a resumed run, or a rerun with
      // the same columns): it is only cut after it, so the kept rows are never absent from it.
      const bool prefix = starts_with(star.earlier, star.start);
      if (ftruncate(fd, prefix ? static_cast<off_t>(star.start.size()) : 0) != 0 ||
          lseek(fd, 0, prefix ? SEEK_END : SEEK_SET) < 0 || (!prefix && !write_all(fd, star.start)))
        return false;
    } else if (!write_all(fd, star.start)) {
      return false;
    }
  }
  return write_all(fd, row) && sync_to_disk(fd);
}

bool close_results_star(ResultsStar& star) {
  if (!star.fd) return true;
  if (!star.started) {
    if (star.created && star.regular && star.earlier.empty()) unlink(star.path.c_str());
    return star.fd.reset();
  }
  const bool written = write_all(star.fd.get(), "\n") && sync_to_disk(star.fd.get());
  return star.fd.reset() && written;
}
