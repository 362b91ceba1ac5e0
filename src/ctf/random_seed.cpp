#include "ctf/random_seed.h"

#include <cstdlib>
#include <ctime>

namespace {

struct SeedChoice {
  bool fixed = false;
  unsigned seed = 0;
};

SeedChoice& seed_choice() {
  static SeedChoice choice;
  return choice;
}

}  // namespace

void quib_set_fixed_seed(long seed) {
  seed_choice().fixed = true;
  seed_choice().seed = static_cast<unsigned>(seed);
}

void quib_clear_fixed_seed() { seed_choice().fixed = false; }

void quib_reseed() {
  const SeedChoice& choice = seed_choice();
  srand(choice.fixed ? choice.seed : static_cast<unsigned>(time(nullptr)));
}

double quib_random_unit() { return rand() / 2147483648.0; }
