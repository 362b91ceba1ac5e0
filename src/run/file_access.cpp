#include "run/file_access.h"

#include <unistd.h>

#include <cctype>
#include <cstring>

#include "core/report.h"
#include "core/text_lines.h"
#include "run/quib_para.h"

namespace {

void warn_file(const char* function, int line, const char* name, const char* problem) {
  printf(
      "\033[43m\033[1m\033[5mWarning in function %s(), file %s on line %d: the file %s %s Automatically "
      "ignored!\033[m\n\n",
      function, "ctf", line, name, problem);
}

void warn_micrograph(const char* function, int line, const char* name, const char* problem) {
  printf(
      "\033[41m\033[1m\033[5mWarning in function %s(), file %s on line %d: the micrograph %s %s "
      "Automatically ignored!\033[m\n\n",
      function, "ctf", line, name, problem);
}

}  // namespace

int check_file_access(const char* name, const char* modes) {
  struct AccessTest {
    char letter;
    int mode;
    const char* problem;
  };
  static const AccessTest tests[] = {{'f', F_OK, "does NOT exist!"},
                                     {'r', R_OK, "are NOT readable!"},
                                     {'w', W_OK, "are NOT writable!"},
                                     {'x', X_OK, "are NOT executable!"}};
  for (const char* m = modes; *m; ++m) {
    const AccessTest* test = nullptr;
    for (const AccessTest& t : tests)
      if (t.letter == tolower(static_cast<unsigned char>(*m))) test = &t;
    if (!test) {
      printf(
          "\033[43m\033[1m\033[5mError in function %s(), file %s on line %d:  the mode '%c' for checking "
          "access of file %s are NOT recoganized!\033[m\n\n",
          __func__, "ctf", __LINE__, *m, name);
      return -1;
    }
    if (access(name, test->mode) != 0) {
      warn_file(__func__, __LINE__, name, test->problem);
      return -1;
    }
  }
  return 0;
}

int check_access_openf_1st(char* const* names, int n, char* firstname, FILE** stream) {
  for (int k = 0; k < n; ++k) {
    const char* name = names[k];
    if (access(name, F_OK) != 0) {
      warn_micrograph(__func__, __LINE__, name, "does NOT exsit!");
      continue;
    }
    if (access(name, R_OK) != 0) {
      warn_micrograph(__func__, __LINE__, name, "are NOT readable!");
      continue;
    }
    if (strlen(name) >= static_cast<size_t>(QUIB_TEXT_SIZE)) QUIB_FATAL("ctf", "Micrograph name too long");
    printf("Opening %s for initial test and preperation .......\n", name);
    *stream = fopen(name, "r");
    if (!*stream) QUIB_FATAL_CANNOT_READ("ctf", name);
    strlcpy(firstname, name);
    return k;
  }
  return -1;
}
