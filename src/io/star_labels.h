// The labels that a STAR header line may carry, and the test for one.
#pragma once

// Number of accepted labels (_rlnDataDimensionality stands in the table twice).
constexpr int STAR_LABEL_COUNT = 228;
// The accepted labels, in their table order.
extern const char* const STAR_LABELS[STAR_LABEL_COUNT];

// 1 when word is one of the accepted labels (exact, case-sensitive comparison), else 0.
int is_star_head_keyword(const char* word);
