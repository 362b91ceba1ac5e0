// The files that the processing of a micrograph writes, named from the micrograph's own name, and
// the checks that keep a run from writing a broken STAR row or over one of its own inputs.
#pragma once

#include <string>
#include <vector>

#include "run/quib_para.h"

struct MicrographOutputs {
  std::string log;  // stem + logsuffix
  std::string ctf;  // stem + ".ctf", the diagnosis image
  std::string epa;  // the EPA text file
};

// The stem is the name without a trailing ".mrc", ".mrcs", ".tif" or ".tiff".
MicrographOutputs micrograph_outputs(const char* name, const QUIB_Para& para);

// The files of a micrograph's local refinement: its particle box file (stem + boxsuffix, an input),
// the per-particle STAR file (stem + "_local.star") and diagnosis stack (stem + "_local.ctf").
struct LocalRefineFiles {
  std::string box;
  std::string star;
  std::string ctf;
};
LocalRefineFiles local_refine_files(const char* name, const QUIB_Para& para);

// The phase-flipped micrograph: stem + "_pf.mrc".
std::string phase_flip_file(const char* name);
// The fit profile: stem + "_profile.txt".
std::string profile_file(const char* name);

// A file the processing of a micrograph writes, what it is and what to do when it is an input.
struct WrittenFile {
  std::string path;
  const char* what;
  const char* advice;
};

// Every file that processing the micrograph writes under the run's options.
std::vector<WrittenFile> micrograph_written_files(const char* name, const QUIB_Para& para);

// Why the micrograph cannot be processed under its name, or "" when it can: white space in the
// name would split its STAR row into more columns (RELION splits rows on white space even inside
// quotes), and every output name must fit a name buffer.
std::string unusable_name_reason(const char* name, const MicrographOutputs& outputs);

// Ends the run (status 1) before any work when an output of some micrograph, or the run's STAR
// file, is one of the run's inputs: a micrograph, the input CTF STAR file, the gain reference or,
// with local refinement, a particle box file.
void refuse_outputs_over_inputs(const QUIB_Para& para);
