#pragma once

// What the user can do when registration fails in a way that depends on the
// platform's own Bluetooth stack. Null-terminated lines, or one line that is
// null where the platform has nothing to add.

// The stack's service could not be reached, so no search started.
extern const char* const kNoServiceLines[];
// The last line after a failed pairing.
extern const char* const kPairingAdviceLine;
