#pragma once

// Two diagnostic sinks shared by the whole program.
//
// DebugPrint is the live debug output: one formatted line, followed by CR LF,
// on standard error (Linux) or to the debugger (Windows). Trace is the verbose step trace: it does
// nothing unless the build enables it (GRAVIMO_TRACE), and then goes to DebugPrint. Nothing may
// depend on Trace producing output.

#if defined(__GNUC__)
#define GRAVIMO_PRINTF(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define GRAVIMO_PRINTF(fmt, args)
#endif

void DebugPrint(const char* format, ...) GRAVIMO_PRINTF(1, 2);
void Trace(const char* format, ...) GRAVIMO_PRINTF(1, 2);
