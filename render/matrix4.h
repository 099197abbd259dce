#pragma once

// A point or direction in model space.
struct Vector3 {
  float x = 0.0f;
  float y = 0.0f;
  float z = 0.0f;
};

// A 4 x 4 single-precision matrix applied to row vectors: a point (x, y, z)
// becomes x * row0 + y * row1 + z * row2 + row3. Each row is 16-byte aligned
// so that it can be handled as one 4-lane vector.
struct Matrix4 {
  struct alignas(16) Row {
    float v[4];
  };
  Row row[4];

  static Matrix4 Identity();
};

// Turns m about the z axis by angle radians (a positive angle turns the x
// axis towards the y axis).
void RotateZ(Matrix4& m, float angle);

Vector3 TransformPoint(const Matrix4& m, Vector3 p);
