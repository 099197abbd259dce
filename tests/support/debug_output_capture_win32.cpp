#include <windows.h>

#include "debug_output_capture.h"

namespace {

// OutputDebugStringA raises this exception with the text's length (NUL
// included) and address; a vectored handler sees it before the system's own.
constexpr DWORD kDebugPrintException = 0x40010006;

std::string captured;
void* handler = nullptr;

LONG CALLBACK CollectDebugOutput(EXCEPTION_POINTERS* pointers) {
  const EXCEPTION_RECORD* record = pointers->ExceptionRecord;
  if (record->ExceptionCode == kDebugPrintException && record->NumberParameters >= 2) {
    const char* text = reinterpret_cast<const char*>(record->ExceptionInformation[1]);
    std::size_t length = record->ExceptionInformation[0];
    captured.append(text, length > 0 ? length - 1 : 0);
  }
  return EXCEPTION_CONTINUE_SEARCH;
}

}  // namespace

void CaptureDebugOutput() {
  captured.clear();
  handler = AddVectoredExceptionHandler(1, CollectDebugOutput);
}

std::string CapturedDebugOutput() {
  RemoveVectoredExceptionHandler(handler);
  handler = nullptr;
  return captured;
}
