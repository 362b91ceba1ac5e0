#include "run/keywords.h"

#include <strings.h>

#include <cctype>

#include "core/text_lines.h"

namespace {

// True when the whole text is an integer: an optional sign and one or more digits.
bool is_whole_integer(const char* text) {
  if (*text == '+' || *text == '-') ++text;
  if (*text == '\0') return false;
  for (; *text != '\0'; ++text)
    if (!isdigit(static_cast<unsigned char>(*text))) return false;
  return true;
}

}  // namespace

int keywd_cmp(const char* arg, const char* name) {
  if (arg[0] != '-') return 0;
  if (strcasecmp(arg + 1, name) == 0) return 1;
  return arg[1] == '-' && strcasecmp(arg + 2, name) == 0 ? 1 : 0;
}

bool is_keywd_help(const char* arg) { return keywd_cmp(arg, "h") || keywd_cmp(arg, "help"); }

void get_bool_keyword(int argc, char** argv, int& flag, int& i) {
  if (i + 1 < argc && is_whole_integer(argv[i + 1])) {
    ++i;
    flag = text_to_int(argv[i]) != 0 ? 1 : 0;
    return;
  }
  flag = 1;
}
