#include "core/text_lines.h"

#include <cctype>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "core/report.h"

namespace {

const char* const kUnit = "text_lines.cpp";

void report_missing_words(const char* function) {
  printf("Error in function %s()!Memory for 'dest' not allocated.\n", function);
  fflush(stdout);
}

// The splitting itself, for a word array known to be there.
int split_words(char* s, const char* delimiters, char** words, int max) {
  if (!s || !delimiters || !*s || !*delimiters) return 0;
  int count = 0;
  char* p = s;
  while (count < max) {
    p += strspn(p, delimiters);
    if (!*p) break;
    words[count++] = p;
    p += strcspn(p, delimiters);
    if (!*p) break;
    *p++ = '\0';
  }
  return count;
}

// Room for every word a string of this length can hold.
int most_words(const char* s) { return s ? static_cast<int>(strlen(s) / 2 + 1) : 0; }

SplitText split_copy(const char* s, const char* delimiters, char** words, int max) {
  SplitText split;
  if (!s) return split;
  const size_t length = strlen(s);
  split.text.reset(new char[length + 1]);
  memcpy(split.text.get(), s, length + 1);
  split.count = split_words(split.text.get(), delimiters, words, max);
  return split;
}

bool equals_ignoring_case(const char* a, const char* b) {
  for (; *a && *b; ++a, ++b)
    if (tolower(static_cast<unsigned char>(*a)) != tolower(static_cast<unsigned char>(*b))) return false;
  return *a == *b;
}

// Walks at most max_lines lines from the start; returns the 0-based number of the first that
// holds text (stream left at its start, offset in *offset) or -1 (stream at its end).
long find_line(FILE* stream, const char* text, long max_lines, long* offset) {
  char line[TEXT_LINE_SIZE];
  rewind(stream);
  for (long number = 0; number < max_lines; ++number) {
    const long start = ftell(stream);
    empty_line(line);
    if (read_one_line(line, stream) == LINE_END) break;
    if (strstr(line, text)) {
      fseek(stream, start, SEEK_SET);
      *offset = start;
      return number;
    }
  }
  fseek(stream, 0, SEEK_END);
  return -1;
}

// The line limit for "the first n + 1 lines", without overflow for a huge n.
long first_lines(long n) { return n < 0 ? 0 : (n == LONG_MAX ? LONG_MAX : n + 1); }

}  // namespace

const char* const TEXT_WHITE_SPACE = " \t\n\r\v\f";

void empty_line(char* line) { memset(line, 0, TEXT_LINE_SIZE); }

int read_one_line(char* line, FILE* stream) {
  if (!fgets(line, TEXT_LINE_SIZE, stream)) return LINE_END;
  const size_t length = strlen(line);
  if ((length > 0 && line[length - 1] == '\n') || length + 1 < static_cast<size_t>(TEXT_LINE_SIZE))
    return LINE_WHOLE;
  // A full buffer: the line goes on unless the file ends right here.
  const int next = fgetc(stream);
  if (next == EOF) return LINE_WHOLE;
  ungetc(next, stream);
  return LINE_CUT;
}

int strnsplit_inplace(char* s, const char* delimiters, char** words, int max) {
  if (!words) {
    report_missing_words("strnsplit");
    return 0;
  }
  return split_words(s, delimiters, words, max);
}

int strnsplit_inplace_byspace(char* s, char** words, int max) {
  return strnsplit_inplace(s, TEXT_WHITE_SPACE, words, max);
}

int strsplit_inplace(char* s, const char* delimiters, char** words) {
  return strnsplit_inplace(s, delimiters, words, most_words(s));
}

int strsplit_inplace_byspace(char* s, char** words) {
  return strnsplit_inplace(s, TEXT_WHITE_SPACE, words, most_words(s));
}

SplitText strnsplit(const char* s, const char* delimiters, char** words, int max) {
  if (!words) {
    report_missing_words("strnsplit");
    return SplitText();
  }
  return split_copy(s, delimiters, words, max);
}

SplitText strsplit(const char* s, const char* delimiters, char** words) {
  if (!words) {
    report_missing_words("strsplit");
    return SplitText();
  }
  return split_copy(s, delimiters, words, most_words(s));
}

SplitText strsplit_byspace(const char* s, char** words) {
  if (!words) {
    report_missing_words("strsplit_byspace");
    return SplitText();
  }
  return split_copy(s, TEXT_WHITE_SPACE, words, most_words(s));
}

SplitText strnsplit_byspace(const char* s, char** words, int max) {
  if (!words) {
    report_missing_words("strnsplit");
    QUIB_FATAL(kUnit, "Memory for 'dest' not allocated.");
  }
  return split_copy(s, TEXT_WHITE_SPACE, words, max);
}

int is_str_null(const char* s) {
  if (!s || !*s || *s == '\n') return 1;
  return equals_ignoring_case(s, "NULL") || equals_ignoring_case(s, "NONE");
}

int strlcpy(char* dst, const char* src) {
  empty_line(dst);
  if (!src) return 0;
  const size_t length = strlen(src);
  if (length >= static_cast<size_t>(TEXT_LINE_SIZE)) {
    char text[128];
    snprintf(text, sizeof text, "a text of %zu characters is longer than 1023 and is not used", length);
    QUIB_WARNING(kUnit, text);
    return -1;
  }
  memcpy(dst, src, length);
  return 0;
}

int text_to_int(const char* s) {
  const long value = strtol(s, nullptr, 10);
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

void** malloc2d(size_t rows, size_t columns, size_t element_size) {
  const size_t pointers = rows * sizeof(void*);
  const bool overflow = (rows != 0 && pointers / rows != sizeof(void*)) ||
                        (element_size != 0 && columns > SIZE_MAX / element_size) ||
                        (rows != 0 && columns * element_size > (SIZE_MAX - pointers) / rows);
  void** block = overflow ? nullptr
                          : static_cast<void**>(malloc(pointers + rows * columns * element_size + 1));
  if (!block) {
    printf("Function 'malloc()' error in 'malloc2d()' ! Not enough memory!\n");
    fflush(stdout);
    return nullptr;
  }
  char* data = reinterpret_cast<char*>(block) + pointers;
  for (size_t i = 0; i < rows; ++i) block[i] = data + i * columns * element_size;
  return block;
}

long FILE_find_str_line(FILE* stream, const char* text) {
  long offset = -1;
  find_line(stream, text, LONG_MAX, &offset);
  return offset;
}

long FILE_Nfind_str_line(FILE* stream, const char* text, long n) {
  long offset = -1;
  find_line(stream, text, first_lines(n), &offset);
  return offset;
}

int f_Nfind_str_line(const char* path, const char* text, int n) {
  FilePtr file(fopen(path, "r"));
  if (!file) QUIB_FATAL_CANNOT_READ(kUnit, path);
  long offset = -1;
  const long number = find_line(file.get(), text, first_lines(n), &offset);
  return number < 0 ? -1 : static_cast<int>(number + 1);
}

int get_file_suffixn(const char* name, const char* suffix) {
  const size_t name_length = strlen(name);
  const size_t suffix_length = strlen(suffix);
  if (name_length <= suffix_length) return 0;
  if (strcmp(name + name_length - suffix_length, suffix) != 0) return 0;
  return static_cast<int>(suffix_length);
}

int replace_file_suffix(char* out, const char* new_suffix, const char* name, const char* old_suffix) {
  empty_line(out);
  const size_t kept = strlen(name) - get_file_suffixn(name, old_suffix);
  const size_t added = strlen(new_suffix);
  if (kept + added >= static_cast<size_t>(TEXT_LINE_SIZE)) {
    char text[128];
    snprintf(text, sizeof text, "a file name of %zu characters is longer than 1023 and is not used",
             kept + added);
    QUIB_WARNING(kUnit, text);
    return -1;
  }
  memcpy(out, name, kept);
  memcpy(out + kept, new_suffix, added);
  return 0;
}
