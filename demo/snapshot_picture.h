#pragma once

class Canvas;

// The window's real canvas for a snapshot, with a writer of its picture:
// PNG on Linux, an uncompressed BMP on Windows.
class SnapshotPicture {
 public:
  virtual Canvas* GetCanvas() = 0;
  // Writes the picture to path: 1 on success, 0 on failure.
  virtual int Write(const char* path) = 0;
  virtual void Release() = 0;

 protected:
  virtual ~SnapshotPicture() = default;
};

// A picture of width x height pixels, or null when it cannot be created.
SnapshotPicture* CreateSnapshotPicture(int width, int height);
