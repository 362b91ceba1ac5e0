// Output names: a micrograph's name without its file-type suffix (".mrc", ".mrcs", ".tif" or
// ".tiff"), followed by another suffix.
#pragma once

#include <string>

// Whether a name's ".mrcs" is dropped too. The EPA file of a micrograph has always kept it
// (b.mrcs gives b.mrcs_EPA.log), and its name must not change under existing runs.
enum class StackSuffix { kDropped, kKept };

// The length of the name's file-type suffix: 4 for ".mrc" and ".tif", 5 for ".mrcs" (0 when it is
// kept) and ".tiff", otherwise 0 (case matters).
int get_micrograph_suffixn(const char* name, StackSuffix stack = StackSuffix::kDropped);

// The name without its file-type suffix followed by suffix: a/b.mrc or a/b.tif with ".ctf" gives
// a/b.ctf, b.png gives b.png.ctf. Callers check that the result fits their name buffers.
std::string mrc_outname(const char* name, const char* suffix, StackSuffix stack = StackSuffix::kDropped);
