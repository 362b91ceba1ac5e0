// The column numbers of the STAR labels that quib looks up by name. Each entry holds the "#N"
// of its label, or 0 when the table has no such column; a row's word for it is number N - 1.
#pragma once

#include <memory>

#include "io/star_head.h"

struct ParticleInfoIndex {
  int micrograph_name;               // _rlnMicrographName
  int image_name;                    // _rlnImageName
  int bfactor;                       // _rlnBfactor
  int voltage;                       // _rlnVoltage
  int phase_shift;                   // _rlnPhaseShift
  int defocus_u;                     // _rlnDefocusU
  int defocus_v;                     // _rlnDefocusV
  int defocus_angle;                 // _rlnDefocusAngle
  int spherical_aberration;          // _rlnSphericalAberration
  int detector_pixel_size;           // _rlnDetectorPixelSize
  int magnification;                 // _rlnMagnification
  int amplitude_contrast;            // _rlnAmplitudeContrast
  int ctf_figure_of_merit;           // _rlnCtfFigureOfMerit
  int ctf_max_resolution;            // _rlnCtfMaxResolution
  int class_number;                  // _rlnClassNumber
  int group_number;                  // _rlnGroupNumber
  int random_subset;                 // _rlnRandomSubset
  int coordinate_x;                  // _rlnCoordinateX
  int coordinate_y;                  // _rlnCoordinateY
  int norm_correction;               // _rlnNormCorrection
  int origin_x;                      // _rlnOriginX
  int origin_y;                      // _rlnOriginY
  int angle_rot;                     // _rlnAngleRot
  int angle_tilt;                    // _rlnAngleTilt
  int angle_psi;                     // _rlnAnglePsi
  int log_likeli_contribution;       // _rlnLogLikeliContribution
  int nr_of_significant_samples;     // _rlnNrOfSignificantSamples
  int max_value_prob_distribution;   // _rlnMaxValueProbDistribution
  int autopick_figure_of_merit;      // _rlnAutopickFigureOfMerit
  int optics_group;                  // _rlnOpticsGroup
};

// A new index with every entry 0.
std::unique_ptr<ParticleInfoIndex> particle_info_index_new();
// Sets every entry to 0; 0.
int particle_info_index_init(ParticleInfoIndex* index);

// Stores the column number in the entry of a tracked label; other labels are ignored. 0.
int set_info_index_from_keyword_number(const char* label, int column, ParticleInfoIndex* index);
// The entry of a tracked label; 0 for any other label.
int get_info_index_from_keyword(const char* label, const ParticleInfoIndex* index);

// Zeroes the index and fills it from the header's labels in file order (a label given twice
// keeps its later column). 0.
int set_info_index_from_star_head(const StarHead* head, ParticleInfoIndex* index);
// The same from a file's header; a file that cannot be opened ends the program.
int set_info_index_from_starf(const char* path, ParticleInfoIndex* index);
int starf_read_head_info_index(const char* path, StarHead* head, ParticleInfoIndex* index);
