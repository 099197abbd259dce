#pragma once

#include <string>

// Opening web pages in the user's default browser. The opener is a seam:
// tests put in one that records the address instead.
using UriOpener = int (*)(const char* uri);

// Installs another opener; null restores the desktop's. Returns the one
// installed before (null when it was the desktop's).
UriOpener SetUriOpener(UriOpener opener);
// Hands the address to the opener; 1 when it was accepted.
int OpenUri(const char* uri);

// The address of the user manual: the configured web address, or the
// installed manual file when none is configured.
std::string ManualPageUri();
// The address of a Help page: the configured one, or the manual's when none
// is configured.
std::string HelpPageUri(const char* configured);

// The desktop's opener: the default application for the address.
int OpenUriWithDesktop(const char* uri);
// A file:// address of the manual on this machine in the screen's language
// (Japanese without a catalogue, else English): the installed copy, or the
// source tree's when the program runs uninstalled.
std::string LocalManualUri();
