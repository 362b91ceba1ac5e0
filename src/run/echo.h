// The echo of the run's parameters on standard output: the options as typed, then every value
// the run will use and the list of micrographs.
#pragma once

#include "run/quib_para.h"

// Prints the echo. Returns 0.
int Quib_put_parameters(int argc, char** argv, const QUIB_Para* para);
