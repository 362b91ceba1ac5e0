#include "run/keywords.h"

#include <strings.h>

#include <cctype>

#include "core/text_lines.h"

int keywd_cmp(const char* arg, const char* name) {
  if (arg[0] != '-') return 0;
  if (strcasecmp(arg + 1, name) == 0) return 1;
  return arg[1] == '-' && strcasecmp(arg + 2, name) == 0 ? 1 : 0;
}

bool is_keywd_help(const char* arg) { return keywd_cmp(arg, "h") || keywd_cmp(arg, "help"); }

void get_bool_keyword(int argc, char** argv, int& flag, int& i) {
  if (i + 1 < argc) {
    const char* next = argv[i + 1];
    if (next[0] != '-' && !isalpha(static_cast<unsigned char>(next[0]))) {
      ++i;
      flag = text_to_int(next) != 0 ? 1 : 0;
      return;
    }
  }
  flag = 1;
}
