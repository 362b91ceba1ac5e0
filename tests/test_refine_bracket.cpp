// The bracket rule of the 2D refinement on hand-computed cases, with its strict comparisons.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "ctf/refine_bracket.h"

namespace {

struct Move {
  float peak;
  float a, b;
  double jitter;
  float a_after, b_after;
  std::vector<float> scored;  // the points scored, in order
};

TEST(RefineBracket, MovesByTheRuleOnHandComputedCases) {
  // Scores -|x - peak|, exact at these points.
  const Move moves[] = {
      // c = 1 beats a = 0, d = 3a - 2b = 2 beats c: a jumps to d, b to the old a.
      {10, 0, -1, 0.0, 2, 0, {-1, 1, 2}},
      // c = 12 only equals b = 8: b halves toward a, to 9, which does not beat a.
      {10, 10, 8, 0.0, 10, 9, {8, 12, 9}},
      // The jitter moves c to 10.5, which beats a = 9; d = 9.5 only equals c, so c becomes a.
      {10, 9, 8.75, 1.25, 10.5, 9, {8.75, 10.5, 9.5}},
      // c = 6 only equals a = 8 but beats b = 10: b moves halfway from a to c, to 7, which beats a,
      // so the two are exchanged.
      {7, 8, 10, 0.0, 7, 8, {10, 6, 7}},
  };
  for (const Move& m : moves) {
    const auto peak = [&](float x) { return -std::fabs(x - m.peak); };
    std::vector<float> scored;
    float a = m.a, b = m.b, fa = peak(m.a);
    bracket_move(a, b, fa, m.jitter, [&](float x) {
      scored.push_back(x);
      return peak(x);
    });
    EXPECT_EQ(a, m.a_after) << m.a << " " << m.b;
    EXPECT_EQ(b, m.b_after) << m.a << " " << m.b;
    EXPECT_EQ(fa, peak(a));
    EXPECT_EQ(scored, m.scored) << m.a << " " << m.b;
  }
}

TEST(RefineBracket, EqualScoresNeverReplaceTheBest) {
  const auto flat = [](float) { return 1.0f; };
  float a = 5, b = 4, fa = 1;
  bracket_move(a, b, fa, 0.0, flat);
  EXPECT_EQ(a, 5) << "c = 6 only equals a";
  EXPECT_EQ(b, 4.5f) << "f(c) <= f(b): b halves toward a; the new b only equals a";
  // A halved b that scores higher than a is exchanged with it.
  const auto rising = [](float x) { return x < 5 ? 2.0f : 0.0f; };
  a = 5, b = 4, fa = 0;
  bracket_move(a, b, fa, 0.0, rising);
  EXPECT_EQ(a, 4.5f);
  EXPECT_EQ(b, 5);
  EXPECT_EQ(fa, 2.0f);
}

TEST(RefineBracket, SingleStrideTakesCWithoutLookingFurther) {
  const auto peak = [](float x) { return -std::fabs(x - 10.0f); };
  std::vector<float> scored;
  float a = 0, b = -1, fa = peak(0);
  bracket_move(
      a, b, fa, 0.0,
      [&](float x) {
        scored.push_back(x);
        return peak(x);
      },
      BracketStride::Single);
  EXPECT_EQ(a, 1) << "the double stride would have jumped to 2";
  EXPECT_EQ(b, 0);
  EXPECT_EQ(fa, peak(1));
  EXPECT_EQ(scored, (std::vector<float>{-1, 1}));
  // Without a gain the rule is the one of the double stride: b halves toward a.
  a = 10, b = 8, fa = peak(10);
  bracket_move(a, b, fa, 0.0, peak, BracketStride::Single);
  EXPECT_EQ(a, 10);
  EXPECT_EQ(b, 9);
}

}  // namespace
