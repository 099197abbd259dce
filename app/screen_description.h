#pragma once

#include <string>

#include "screen/screen_data.h"

// What one frame of the main window says in words, for screen readers: the
// same state the picture is drawn from, as a few sentences in the language
// of the texts and in the unit shown.
std::string DescribeScreen(const ScreenFrame& frame);

// The accessible name of the picture.
const char* ScreenName();
