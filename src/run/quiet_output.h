// --quiet: standard output keeps only what a person watching a long run needs, the per-micrograph
// progress lines, warnings, errors, notes, the skipped micrographs and the run's final summary;
// the full text still goes to each micrograph's log.
#pragma once

// Replaces stdout by a stream that passes only those lines on to the original standard output.
// Lines are judged whole, as they are completed; an error that ends the run comes with the few
// lines printed just before it, which say what was refused.
void keep_only_essential_output();
