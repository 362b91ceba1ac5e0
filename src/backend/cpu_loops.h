// The parallel loop under every launch of the CPU backend, built twice: for any x86-64 processor,
// and with AVX2 and FMA for the processors that have them (Intel from 2013 and AMD from 2015 on),
// which work on twice as many floats at a time. The build is chosen when the program starts. Both
// give the same bits: kernels are compiled without contraction or reassociation, so the vector
// width changes no rounding. A build that already targets AVX2 and FMA (QUIB_NATIVE on such a
// machine), or one for another processor family, has the one loop only.
#pragma once

#if defined(__x86_64__) && !(defined(__AVX2__) && defined(__FMA__))
#define QUIB_WIDE_CPU_LOOPS 1
#else
#define QUIB_WIDE_CPU_LOOPS 0
#endif

// Whether launches run the wide (AVX2 and FMA) build of the loop: where it exists, the processor
// has AVX2 and FMA and the plain build has not been asked for.
bool cpu_wide_loops();
// Asks for the plain build even where the wide one could run (or lifts that request), so that
// tests can compare the two.
void set_cpu_plain_loops(bool plain);

// Defines `name`: body(k) for every k < count, on the OpenMP threads when `spread` is set. The
// OpenMP region takes the attributes of the function it lies in; the wide build also flattens
// (inlines everything body calls), so that the whole kernel is compiled for the wide instructions.
// clang-format off
#define QUIB_DEFINE_PARALLEL_FOR(name, attributes)                \
  template <class Body>                                           \
  attributes void name(long long count, bool spread, Body body) { \
    _Pragma("omp parallel for schedule(static) if (spread)")      \
    for (long long k = 0; k < count; ++k) body(k);                \
  }
// clang-format on

QUIB_DEFINE_PARALLEL_FOR(parallel_for_plain, )
#if QUIB_WIDE_CPU_LOOPS
QUIB_DEFINE_PARALLEL_FOR(parallel_for_wide, __attribute__((target("avx2,fma"), flatten)))
#endif

// body(k) for every k < count in the build of the loop chosen for this processor.
template <class Body>
void parallel_for(long long count, bool spread, Body body) {
#if QUIB_WIDE_CPU_LOOPS
  if (cpu_wide_loops()) {
    parallel_for_wide(count, spread, body);
    return;
  }
#endif
  parallel_for_plain(count, spread, body);
}
