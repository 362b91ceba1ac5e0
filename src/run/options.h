// The command-line parser: fills the run's parameter record from the arguments and builds the
// list of micrographs.
#pragma once

#include "run/quib_para.h"

// Parses every argument, derives the dependent values and ends with Quib_check_parameters.
// Returns 0; bad input, an unknown option among it, ends the process with status 1.
int Quib_get_parameters(int argc, char** argv, QUIB_Para* para);

// Handles --ctfstar at argument i: the name that follows, with ".star" appended unless present,
// or "NULL" for a null name. Advances i past the name.
void quib_set_ctfstar(int argc, char** argv, QUIB_Para* para, int& i);
