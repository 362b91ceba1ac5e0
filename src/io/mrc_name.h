// Output names: a micrograph's name without its ".mrc" or ".mrcs" suffix, followed by another
// suffix.
#pragma once

#include <string>

// 4 when the name ends in ".mrc", 5 when it ends in ".mrcs", otherwise 0 (case matters).
int get_micrograph_suffixn(const char* name);

// The name without its MRC suffix followed by suffix: a/b.mrc with ".ctf" gives a/b.ctf, b.tif
// gives b.tif.ctf. Callers check that the result fits their name buffers.
std::string mrc_outname(const char* name, const char* suffix);
