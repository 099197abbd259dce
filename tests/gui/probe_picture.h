#pragma once

typedef struct _cairo_surface cairo_surface_t;

// A recognisable client-area picture: dark green with a white square of
// 100 x 100 pixels whose top left corner is at (50, 50).
class ProbePicture {
 public:
  ProbePicture(int width, int height);
  ~ProbePicture();
  ProbePicture(const ProbePicture&) = delete;
  ProbePicture& operator=(const ProbePicture&) = delete;

  cairo_surface_t* Surface() const { return surface; }

 private:
  cairo_surface_t* surface = nullptr;
};
