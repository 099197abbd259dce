#pragma once

#include <functional>

// One running copy of the program per user session: with one board, two
// copies would both record every weigh-in.

// Claims the session for this copy: 1 when no other copy runs, and from
// then on another copy that starts calls bringToFront (on this thread, from
// its message loop); 0 when another copy runs, which has been asked to bring
// its window to the front. Without a session to ask (no session bus) every
// copy counts as the first: 1.
int ClaimSingleInstance(std::function<void()> bringToFront);

// Gives the claim up, so that a copy started afterwards runs. May be
// repeated.
void ReleaseSingleInstance();
