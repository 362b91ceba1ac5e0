// The libc random generator of the refinements: reseeded from the clock (seconds) by every user,
// or, once a fixed seed is set (the --seed option), restarted from that seed at every reseed so
// that runs are reproducible.
#pragma once

// Every later quib_reseed() restarts the generator from this seed.
void quib_set_fixed_seed(long seed);
// Back to seeding from the clock.
void quib_clear_fixed_seed();
// srand with the fixed seed when one is set, else with the current time in seconds.
void quib_reseed();
// A uniform draw in [0, 1): rand() / 2^31.
double quib_random_unit();
