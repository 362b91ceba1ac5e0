#include <cstdio>

#include "gpu/device.h"

int main(int argc, char** argv) {
  printf("quib (%s backend)\n", backend_name());
  printf("Usage: %s [options] <micrographs>\n", argc > 0 ? argv[0] : "quib");
  return 0;
}
