// Short advice on the options, shown one at a time after a run and all together in the full help.
#pragma once

constexpr int QUIB_TIPS_COUNT = 23;
extern const char* const QUIB_ALL_TIPS[QUIB_TIPS_COUNT];

// Seeds rand() with the time in seconds and prints tip rand() % 23 between two lines of 127 '-'.
void quib_put_one_random_tip();

// Every tip, then how to report problems and cite the program.
void quib_put_all_tips();
