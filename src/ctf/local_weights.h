// Weights of the grid boxes around a particle in its local spectrum. Distant boxes count less;
// with frequency weighting they count less still at high frequency, where a defocus that varies
// across the micrograph blurs the rings of distant boxes most.
#pragma once

// --local_avetype: how the boxes of a neighbourhood are weighted.
enum LocalAverageType { kLocalEqualWeights = 0, kLocalDistanceWeights = 1, kLocalFrequencyWeights = 2 };

// exp(-d^2 / (2 R^2)): a Gaussian of the box's distance d with standard deviation R (the radius).
float local_distance_weight(float distance, float radius);

// The weight of a box at distance d at column x and row y of a centred half spectrum of nh x ny
// values, exp(-(s r_w)^2 / 2 * d^2 / (2 R^2)) with the spatial frequency
// s = sqrt(x^2 + (y - ny/2)^2) / (2 (nh - 1) apix) and the resolution r_w (Angstrom), is the
// product columns[x] rows[y] of the two tables filled here (nh and ny values). Weight 1 at zero
// frequency; at s = 1/r_w, exp(-d^2 / (4 R^2)).
void local_frequency_weight_factors(float* columns, float* rows, float distance, float radius, int nh, int ny,
                                    float apix, float resolution);
