// Cutting particle boxes out of an image into a stack of equally sized images. Every box takes the
// width and height of the first one; a box is cut only when it lies strictly inside the image,
// x >= 0, y >= 0, x + width < nx and y + height < ny (a box whose last column or row would be the
// image's last is left out), and the boxes that are cut become consecutive stack images in order.
#pragma once

#include "core/ptcl_box_record.h"

// The rule above for one box cut at width x height.
bool ptcl_box_inside_image(const PTCL_BOX& box, int width, int height, int nx, int ny);
// How many of the boxes would be cut.
int count_ptcl_boxes_inside_image(const PTCL_BOX* boxes, int nboxes, int nx, int ny);

// Device stack and image, host boxes; the `distance` of each box cut goes into the device array
// distances (room for nboxes values), in stack order. Returns the number of boxes cut.
int hcuda_2d_read_ptcls_to_2ds_from_boxes(float* stack, const PTCL_BOX* boxes, float* distances, int nboxes,
                                          const float* image, int nx, int ny);

// The same on host arrays, without distances; each box left out is reported with a warning line.
int host_2d_read_ptcls_to_2ds_from_boxes(float* stack, const PTCL_BOX* boxes, int nboxes, const float* image, int nx,
                                         int ny);
