#include <cairo.h>

#include "probe_picture.h"

ProbePicture::ProbePicture(int width, int height)
    : surface(cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height)) {
  cairo_t* cr = cairo_create(surface);
  cairo_set_source_rgb(cr, 0, 0.5, 0);
  cairo_paint(cr);
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_rectangle(cr, 50, 50, 100, 100);
  cairo_fill(cr);
  cairo_destroy(cr);
}

ProbePicture::~ProbePicture() {
  cairo_surface_destroy(surface);
}
