// The program: options, run start, the chain of stages for every listed micrograph, run end.
#pragma once

// Runs quib with the command line; returns the process status (fatal errors exit directly).
int quib_main(int argc, char** argv);
