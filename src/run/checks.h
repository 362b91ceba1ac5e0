// Checks of the run's parameters: a value that no stage can use stops the run with a message that
// names the option, the value and the usable range; other bad values are repaired with a warning.
#pragma once

#include "run/quib_para.h"

// Repairs or rejects values in a fixed order and, unless --skip_check_gpu is set, tests the GPU
// device gid (choosing another when it does not exist). Returns 0 or ends the process (status 1).
int Quib_check_parameters(int argc, char** argv, QUIB_Para* para);

// A number truncated toward zero and held to the range of int.
int quib_truncate_to_int(double number);

// The grid step of the boxes around a particle: (1 - local_overlap) * local_boxsize, truncated.
int quib_local_grid_step(float local_overlap, int local_boxsize);

// Ends the run (status 1) unless the local grid step is at least 1 and a particle's neighbourhood
// of local_radius fits the box table. The driver repeats it after clamping the sizes.
void quib_check_local_grid(const QUIB_Para* para);
