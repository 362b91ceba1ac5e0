// The record of one particle box, shared by the box-file readers and the particle extraction.
#pragma once

// Room of every box table; the readers and generators are given it as their capacity.
constexpr int PTCL_BOX_CAPACITY = 10240;

struct PTCL_BOX {
  int x;           // corner x in pixels (a box read from a STAR file: the particle's centre)
  int y;           // corner y (STAR: the centre)
  int width;       // 0 for a box read from a STAR file
  int height;      // 0 for STAR
  float score;     // figure of merit; for a generated neighbour box its weight
  int class_id;
  float angle;     // in-plane angle psi, degrees
  float distance;  // a generated neighbour box's distance from its centre particle, pixels
};
