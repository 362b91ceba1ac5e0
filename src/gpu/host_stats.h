// Statistics and fitting of small host float arrays: sums and moments, normalisation,
// correlation, extremes and peaks, straight-line fits.
#pragma once

#include "gpu/host_extremes.h"
#include "gpu/host_line_fit.h"
#include "gpu/host_moments.h"
#include "gpu/host_normalise.h"
#include "gpu/host_peaks.h"
