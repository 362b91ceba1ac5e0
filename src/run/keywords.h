// Matching of command-line keywords: options are words after one or two dashes, in any case.
#pragma once

// 1 when arg is "-name" or "--name" ignoring case, else 0.
int keywd_cmp(const char* arg, const char* name);

// True for "-h", "--h", "-help" and "--help" in any case.
bool is_keywd_help(const char* arg);

// Reads the value of the switch at argument i. When the next argument is a whole integer ("0",
// "1", "-1"), it is the switch's value: i advances and flag becomes 1 when it is nonzero, 0
// otherwise. Anything else (a file name such as "1.mrc", an option) is left to the caller and
// flag becomes 1.
void get_bool_keyword(int argc, char** argv, int& flag, int& i);
