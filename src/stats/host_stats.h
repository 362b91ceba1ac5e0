// Statistics and fitting of small host float arrays: sums and moments, normalisation,
// correlation, extremes and peaks, straight-line fits.
#pragma once

#include "stats/host_extremes.h"
#include "stats/host_line_fit.h"
#include "stats/host_moments.h"
#include "stats/host_normalise.h"
#include "stats/host_peaks.h"
