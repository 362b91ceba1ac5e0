// Least-squares straight lines and the single-precision sums they use.
#pragma once

// y ~ k x + b over n points. Points that all share one x divide by 0.
void line_fit(const float* x, const float* y, int n, float& k, float& b);
// Sum of x[i] y[i], accumulated in float.
float X_Y_By(const float* x, const float* y, int n);
// Sum of data[i]^2, accumulated in float.
float Squre_sum(const float* data, int n);
// Sum of data[i], accumulated in float, divided by n.
float Sum_Average(const float* data, int n);
