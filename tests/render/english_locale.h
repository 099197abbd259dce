#pragma once

// Switches the process to the English catalogue of the build for the life
// of the object, and back to the C locale after it.
class EnglishLocale {
 public:
  EnglishLocale();
  ~EnglishLocale();
};
