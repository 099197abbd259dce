#pragma once

#include <string>

#include "window/window.h"

// Opening web pages in the user's default browser. The opener is a seam:
// tests put in one that records the address instead.
using UriOpener = int (*)(const char* uri);

// Installs another opener; null restores the desktop's. Returns the one
// installed before (null when it was the desktop's).
UriOpener SetUriOpener(UriOpener opener);
// Hands the address to the opener; 1 when it was accepted.
int OpenUri(const char* uri);

// Tells the user in a message that a page could not be opened. A seam as the
// opener is; null restores the desktop's message.
using PageNotice = void (*)(WindowHandle owner, const std::string& text);
PageNotice SetPageNotice(PageNotice notice);

// The address of the user manual: the configured web address, or the
// manual's HTML page on this machine when none is configured.
std::string ManualPageUri();
// The address of a Help page: the configured one, or the manual's when none
// is configured.
std::string HelpPageUri(const char* configured);
// Opens the Help page HelpPageUri(configured). When nothing can open it (no
// program for web pages), a message names the page, a file on this machine
// by its path, so that the user can open it by hand. 1 when it opened.
int OpenHelpPage(WindowHandle owner, const char* configured);

// The desktop's opener: the default application for the address.
int OpenUriWithDesktop(const char* uri);
// The desktop's message box, over owner's window.
void ShowPageNoticeWithDesktop(WindowHandle owner, const std::string& text);
// The manual's HTML page on this machine in the screen's language (Japanese
// without a catalogue, else English): the installed copy, or the build
// folder's when the program runs uninstalled.
std::string LocalManualPath();
// A path of this machine as a file:// address.
std::string FileUri(const std::string& path);
