// Matching of command-line keywords: options are words after one or two dashes, in any case.
#pragma once

// 1 when arg is "-name" or "--name" ignoring case, else 0.
int keywd_cmp(const char* arg, const char* name);

// True for "-h", "--h", "-help" and "--help" in any case.
bool is_keywd_help(const char* arg);

// Reads the value of the switch at argument i. When a next argument exists and begins neither
// with '-' nor with a letter, it is the switch's value: i advances and flag becomes 1 when its
// integer value is nonzero, 0 otherwise. In every other case flag becomes 1.
void get_bool_keyword(int argc, char** argv, int& flag, int& i);
