// The three-point bracket rule with which the 2D refinements move one parameter: a is the best
// point so far with score fa, b the second point. Score comparisons are strict where they say so:
// a trial point that only equals the best does not replace it.
#pragma once

#include <functional>

// The score of the model with the moved parameter at the given value (larger is better).
using ParameterScore = std::function<float(float)>;

// Whether a trial point that beats the best is followed by one more stride before it is taken.
enum class BracketStride { Double, Single };

// Scores b, tries c = 2a - b + jitter beyond a, and applies the rule: if c beats a, c (or, with
// the double stride, the better of c and the point d = 3a - 2b one stride further) becomes a and
// the old a becomes b; otherwise b moves halfway toward a (from c's side when c scored above b)
// and is exchanged with a if it now scores higher.
void bracket_move(float& a, float& b, float& fa, double jitter, const ParameterScore& score,
                  BracketStride stride = BracketStride::Double);
