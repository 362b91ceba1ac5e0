#include "io/star_index.h"

#include <cstring>

namespace {

using IndexEntry = int ParticleInfoIndex::*;

struct TrackedLabel {
  const char* label;
  IndexEntry entry;
};

const TrackedLabel kTracked[] = {
    {"_rlnMicrographName", &ParticleInfoIndex::micrograph_name},
    {"_rlnImageName", &ParticleInfoIndex::image_name},
    {"_rlnBfactor", &ParticleInfoIndex::bfactor},
    {"_rlnVoltage", &ParticleInfoIndex::voltage},
    {"_rlnPhaseShift", &ParticleInfoIndex::phase_shift},
    {"_rlnDefocusU", &ParticleInfoIndex::defocus_u},
    {"_rlnDefocusV", &ParticleInfoIndex::defocus_v},
    {"_rlnDefocusAngle", &ParticleInfoIndex::defocus_angle},
    {"_rlnSphericalAberration", &ParticleInfoIndex::spherical_aberration},
    {"_rlnDetectorPixelSize", &ParticleInfoIndex::detector_pixel_size},
    {"_rlnMagnification", &ParticleInfoIndex::magnification},
    {"_rlnAmplitudeContrast", &ParticleInfoIndex::amplitude_contrast},
    {"_rlnCtfFigureOfMerit", &ParticleInfoIndex::ctf_figure_of_merit},
    {"_rlnCtfMaxResolution", &ParticleInfoIndex::ctf_max_resolution},
    {"_rlnClassNumber", &ParticleInfoIndex::class_number},
    {"_rlnGroupNumber", &ParticleInfoIndex::group_number},
    {"_rlnRandomSubset", &ParticleInfoIndex::random_subset},
    {"_rlnCoordinateX", &ParticleInfoIndex::coordinate_x},
    {"_rlnCoordinateY", &ParticleInfoIndex::coordinate_y},
    {"_rlnNormCorrection", &ParticleInfoIndex::norm_correction},
    {"_rlnOriginX", &ParticleInfoIndex::origin_x},
    {"_rlnOriginY", &ParticleInfoIndex::origin_y},
    {"_rlnAngleRot", &ParticleInfoIndex::angle_rot},
    {"_rlnAngleTilt", &ParticleInfoIndex::angle_tilt},
    {"_rlnAnglePsi", &ParticleInfoIndex::angle_psi},
    {"_rlnLogLikeliContribution", &ParticleInfoIndex::log_likeli_contribution},
    {"_rlnNrOfSignificantSamples", &ParticleInfoIndex::nr_of_significant_samples},
    {"_rlnMaxValueProbDistribution", &ParticleInfoIndex::max_value_prob_distribution},
    {"_rlnAutopickFigureOfMerit", &ParticleInfoIndex::autopick_figure_of_merit},
    {"_rlnOpticsGroup", &ParticleInfoIndex::optics_group},
};

const TrackedLabel* find_tracked(const char* label) {
  for (const TrackedLabel& tracked : kTracked)
    if (strcmp(label, tracked.label) == 0) return &tracked;
  return nullptr;
}

}  // namespace

std::unique_ptr<ParticleInfoIndex> particle_info_index_new() {
  std::unique_ptr<ParticleInfoIndex> index(new ParticleInfoIndex);
  particle_info_index_init(index.get());
  return index;
}

int particle_info_index_init(ParticleInfoIndex* index) {
  *index = ParticleInfoIndex{};
  return 0;
}

int set_info_index_from_keyword_number(const char* label, int column, ParticleInfoIndex* index) {
  if (const TrackedLabel* tracked = find_tracked(label)) index->*(tracked->entry) = column;
  return 0;
}

int get_info_index_from_keyword(const char* label, const ParticleInfoIndex* index) {
  const TrackedLabel* tracked = find_tracked(label);
  return tracked ? index->*(tracked->entry) : 0;
}

int set_info_index_from_star_head(const StarHead* head, ParticleInfoIndex* index) {
  particle_info_index_init(index);
  for (int i = 0; i < head->count; ++i) set_info_index_from_keyword_number(head->label[i], head->column[i], index);
  return 0;
}

int set_info_index_from_starf(const char* path, ParticleInfoIndex* index) {
  std::unique_ptr<StarHead> head = star_head_new();
  return starf_read_head_info_index(path, head.get(), index);
}

int starf_read_head_info_index(const char* path, StarHead* head, ParticleInfoIndex* index) {
  starf_read_head(path, head);
  return set_info_index_from_star_head(head, index);
}
