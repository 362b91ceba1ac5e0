// Particle coordinate files of a simulated micrograph: EMAN ".box" (box corner and size, so that
// the box centre x + size / 2 is the particle's centre) and RELION ".star" (centre coordinates and
// the true local defocus U, V and angle). A file that cannot be written ends the program.
#pragma once

#include <string>
#include <vector>

#include "simulate/simulate.h"

void write_box_file(const std::string& path, const std::vector<ParticleTruth>& particles, int box);
void write_star_file(const std::string& path, const std::vector<ParticleTruth>& particles);
