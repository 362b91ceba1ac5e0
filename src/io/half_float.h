// IEEE 754 half precision (binary16), the element type of MRC mode 12: conversion from and to float.
#pragma once

#include <cstdint>
#include <cstring>

// Exact: every half value is a float (subnormals, infinities and NaN included).
inline float float_from_half(uint16_t h) {
  const uint32_t sign = static_cast<uint32_t>(h & 0x8000u) << 16;
  const uint32_t exponent = (h >> 10) & 0x1fu;
  uint32_t mantissa = h & 0x3ffu;
  uint32_t bits;
  if (exponent == 0x1fu) {
    bits = sign | 0x7f800000u | (mantissa << 13);  // infinity or NaN
  } else if (exponent != 0) {
    bits = sign | ((exponent + 112u) << 23) | (mantissa << 13);
  } else if (mantissa == 0) {
    bits = sign;  // signed zero
  } else {
    // Subnormal: shift the leading 1 up to the implicit bit, lowering the exponent as it goes.
    int e = 113;
    while ((mantissa & 0x400u) == 0) {
      mantissa <<= 1;
      --e;
    }
    bits = sign | (static_cast<uint32_t>(e) << 23) | ((mantissa & 0x3ffu) << 13);
  }
  float f;
  memcpy(&f, &bits, sizeof f);
  return f;
}

// Rounded to the nearest half, ties to even; beyond the largest half (65504) infinity, NaN stays NaN.
inline uint16_t half_from_float(float f) {
  uint32_t bits;
  memcpy(&bits, &f, sizeof bits);
  const uint16_t sign = static_cast<uint16_t>((bits >> 16) & 0x8000u);
  const uint32_t magnitude = bits & 0x7fffffffu;
  if (magnitude > 0x7f800000u) return static_cast<uint16_t>(sign | 0x7e00u);   // NaN
  if (magnitude >= 0x477ff000u) return static_cast<uint16_t>(sign | 0x7c00u);  // rounds beyond 65504
  if (magnitude >= 0x38800000u) {
    // Normal half: drop 13 mantissa bits with rounding to nearest even; a carry moves up the exponent.
    const uint32_t rebased = magnitude - (112u << 23);
    const uint32_t rounded = rebased + 0xfffu + ((rebased >> 13) & 1u);
    return static_cast<uint16_t>(sign | (rounded >> 13));
  }
  if (magnitude < 0x33000000u) return sign;  // below half the smallest subnormal: zero
  // Subnormal half: the value in units of 2^-24, rounded to nearest even.
  const uint32_t exponent = magnitude >> 23;
  const uint32_t mantissa = (magnitude & 0x7fffffu) | 0x800000u;
  const uint32_t shift = 126u - exponent;  // 14 .. 24
  const uint32_t kept = mantissa >> shift;
  const uint32_t rest = mantissa & ((1u << shift) - 1u), half_way = 1u << (shift - 1u);
  const uint32_t rounded = kept + (rest > half_way || (rest == half_way && (kept & 1u)) ? 1u : 0u);
  return static_cast<uint16_t>(sign | rounded);
}
