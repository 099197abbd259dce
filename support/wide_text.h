#pragma once

#include <string>

// The program keeps text and paths in UTF-8; the W functions of Windows take
// UTF-16. Bytes that are not UTF-8 become U+FFFD.
std::wstring WideText(const std::string& utf8);
std::string Utf8Text(const std::wstring& wide);
// The folder of the running program, with its closing backslash.
std::wstring ProgramFolder();
