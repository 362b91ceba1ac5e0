// The parameter section at the head of every micrograph's log, and the block that repeats the
// optics in the parameter layout RELION reads from older CTF logs.
#pragma once

#include <cstdio>

#include "run/quib_para.h"

// Writes the parameter section. Returns 0.
int Quib_fput_parameters(FILE* stream, const QUIB_Para* para);

// Writes the parameter section and then the RELION block; index (the micrograph's) does not
// change the output. Returns 0.
int Quib_fput_parameters_ctffind3(FILE* stream, const QUIB_Para* para, int index);
