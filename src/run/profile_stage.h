// The 1D profile of a micrograph's fit (--write_profile): per spatial frequency, the rotational
// average of the background-subtracted spectrum beside that of the fitted CTF^2, the data a person
// plots to judge a fit. Written beside the log as stem + "_profile.txt".
#pragma once

#include "core/ctf_records.h"
#include "run/ctf_stages.h"
#include "run/quib_para.h"
#include "run/run_buffers.h"

// Writes the profile of the fitted model; buffers.display is used as scratch. A file that cannot be
// written ends the run.
void write_fit_profile(const MicrographFiles& files, const QUIB_Para& para, const RunGeometry& geometry,
                       RunBuffers& buffers, const CtfModel& model, float resolution);
