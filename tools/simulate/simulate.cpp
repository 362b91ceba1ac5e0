#include "simulate/simulate.h"

#include "simulate/illumination.h"
#include "simulate/image_formation.h"
#include "simulate/poisson.h"

std::vector<ParticleTruth> particle_truth(const SimParams& p, const std::vector<Particle>& particles) {
  const DefocusPlane plane = defocus_plane(p);
  const double shift = mean_defocus_shift(p);
  std::vector<ParticleTruth> truth;
  truth.reserve(particles.size());
  for (const Particle& particle : particles) {
    const double dz = shift + plane.at(particle.x, particle.y);
    truth.push_back(
        {particle.x, particle.y, static_cast<float>(p.defU + dz), static_cast<float>(p.defV + dz), p.angle});
  }
  return truth;
}

std::vector<ParticleTruth> simulate_frames(const SimParams& p, const FrameSink& sink) {
  check_sim_params(p);
  const Specimen specimen = make_specimen(p);
  const std::vector<float> illumination = make_illumination(p);
  const ImagingSetup setup = make_imaging_setup(p);
  const double electrons_per_pixel = double(p.dose) * p.apix * p.apix / p.nz;
  std::vector<float> expected;
  for (int f = 0; f < p.nz; ++f) {
    if (f == 0 || p.drift != 0.0f)
      expected = expected_counts(setup, specimen.phase, illumination, frame_defocus_shift(p, f), electrons_per_pixel);
    sink(f, shot_noise_frame(expected, p.seed, f));
  }
  return particle_truth(p, specimen.particles);
}

SimResult simulate_micrograph(const SimParams& p) {
  SimResult result;
  result.particles = simulate_frames(p, [&](int, const std::vector<float>& counts) {
    result.frames.insert(result.frames.end(), counts.begin(), counts.end());
  });
  return result;
}
