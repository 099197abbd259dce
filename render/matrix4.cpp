#include "render/matrix4.h"

#include <cmath>

// The arithmetic below is written step by step in single precision; the
// library is compiled without floating-point contraction so that no fused
// multiply-add changes the rounding, and the needle lands on the same pixels
// on every machine.

Matrix4 Matrix4::Identity() {
  Matrix4 m{};
  for (int i = 0; i < 4; ++i)
    m.row[i].v[i] = 1.0f;
  return m;
}

void RotateZ(Matrix4& m, float angle) {
  const float c = static_cast<float>(std::cos(static_cast<double>(angle)));
  const float s = static_cast<float>(std::sin(static_cast<double>(angle)));
  for (int k = 0; k < 4; ++k) {
    const float a = m.row[0].v[k];
    const float b = m.row[1].v[k];
    m.row[0].v[k] = a * c + b * s;
    m.row[1].v[k] = b * c - a * s;
  }
}

Vector3 TransformPoint(const Matrix4& m, Vector3 p) {
  float lane[3];
  for (int k = 0; k < 3; ++k) {
    lane[k] = p.x * m.row[0].v[k] + p.y * m.row[1].v[k] + p.z * m.row[2].v[k] + m.row[3].v[k];
  }
  return {lane[0], lane[1], lane[2]};
}
