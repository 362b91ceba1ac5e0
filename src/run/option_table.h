// The catalogue of command-line options: each option's name, how its value is read, the field it
// sets, and its default and meaning for the help screens.
#pragma once

#include "run/quib_para.h"

enum class OptionKind {
  Float,     // atof
  Int,       // atoi
  TruncInt,  // atof truncated toward zero
  Switch,    // get_bool_keyword
  Text,      // copied into a 1024-byte buffer
  Ctfstar,   // the output STAR name (quib_set_ctfstar)
  Help,      // valid only as the first argument, handled before parsing
};

using FloatField = float QUIB_Para::*;
using IntField = int QUIB_Para::*;
using TextField = char* QUIB_Para::*;

struct QuibOption {
  const char* name;
  OptionKind kind;
  FloatField float_field;
  IntField int_field;  // Int, TruncInt and Switch
  TextField text_field;
  IntField set_flag;  // raised when the option appears, or null
  const char* default_text;
  const char* meaning;
};

// The listed options, in the order of the valid-option list and the help, "help" last.
constexpr int QUIB_OPTIONS_LISTED = 66;
// Listed options followed by the options that the parser accepts but the help does not show.
constexpr int QUIB_OPTIONS_ALL = 81;
extern const QuibOption QUIB_OPTIONS[QUIB_OPTIONS_ALL];

// The option that arg names ("-name"/"--name", any case), or null.
const QuibOption* find_quib_option(const char* arg);

// The option called name (exact spelling of the table), or null.
const QuibOption* quib_option_named(const char* name);
