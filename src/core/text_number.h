// Reading a number from one word of a text file, the same in every locale.
#pragma once

// Reads the whole word as a decimal number in the C locale: an optional sign, digits with an
// optional point, an optional exponent. True only when every character is used and the value is
// a finite float; then *value holds it. "nan", "inf", "1e39", "17,000" or "12abc" give false and
// leave *value alone.
bool text_to_finite_float(const char* word, float* value);
