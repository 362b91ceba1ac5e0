#include "run/driver.h"

int main(int argc, char** argv) { return quib_main(argc, argv); }
