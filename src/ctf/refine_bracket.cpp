#include "ctf/refine_bracket.h"

#include <utility>

void bracket_move(float& a, float& b, float& fa, double jitter, const ParameterScore& score, BracketStride stride) {
  float fb = score(b);
  float c = static_cast<float>(2.0f * a - b + jitter);
  float fc = score(c);
  if (fc > fa) {
    if (stride == BracketStride::Double) {
      const float d = 3.0f * a - 2.0f * b;
      const float fd = score(d);
      if (fd > fc) {
        c = d;
        fc = fd;
      }
    }
    b = a;
    a = c;
    fa = fc;
    return;
  }
  b = fc <= fb ? (a + b) / 2.0f : (a + c) / 2.0f;
  fb = score(b);
  if (fb > fa) {
    std::swap(a, b);
    std::swap(fa, fb);
  }
}
