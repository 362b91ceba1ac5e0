// Resuming an interrupted run: a micrograph counts as done when its log holds the completion line.
#pragma once

// The line that ends the log of a micrograph whose every stage finished.
constexpr const char* QUIB_DONE_LINE = "Processing done successfully";

// 0 when the log does not exist; otherwise 1 when some line of it contains the completion line,
// else 0. A log that exists but cannot be read ends the program.
int is_file_ctf_done(const char* logname);
