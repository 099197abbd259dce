#include <dlfcn.h>

#include <memory>

#include "speech/speech_thread.h"
#include "support/trace.h"

// speech-dispatcher, the service the screen reader speaks through, reached
// with its client library loaded at run time: the program needs neither
// the library nor a running service, and goes on silently without them.

namespace {

constexpr char kLibrary[] = "libspeechd.so.2";
constexpr char kClientName[] = "gravimo";

// The few calls of libspeechd that are used, with their C signatures.
struct SpdConnection;
constexpr int kModeSingle = 0;    // SPD_MODE_SINGLE
constexpr int kPriorityText = 3;  // SPD_TEXT: queued behind the screen reader's own
using SpdOpen = SpdConnection* (*)(const char*, const char*, const char*, int);
using SpdSay = int (*)(SpdConnection*, int, const char*);
using SpdSetLanguage = int (*)(SpdConnection*, const char*);
using SpdClose = void (*)(SpdConnection*);

class SpeechDispatcher final : public ktSpeechService {
 public:
  // The library stays loaded: what it allocated may outlive the
  // connection, and a second object loads it again for free.
  ~SpeechDispatcher() override {
    if (connection)
      close(connection);
  }

  int Connect() override {
    void* library = dlopen(kLibrary, RTLD_NOW | RTLD_LOCAL);
    if (!library) {
      DebugPrint("speech: %s cannot be loaded (%s), speaking nothing", kLibrary, dlerror());
      return 0;
    }
    auto open = reinterpret_cast<SpdOpen>(dlsym(library, "spd_open"));
    say = reinterpret_cast<SpdSay>(dlsym(library, "spd_say"));
    setLanguage = reinterpret_cast<SpdSetLanguage>(dlsym(library, "spd_set_language"));
    close = reinterpret_cast<SpdClose>(dlsym(library, "spd_close"));
    if (!open || !say || !setLanguage || !close) {
      DebugPrint("speech: %s lacks the calls it needs, speaking nothing", kLibrary);
      return 0;
    }
    connection = open(kClientName, "main", nullptr, kModeSingle);
    if (!connection)
      DebugPrint("speech: speech-dispatcher cannot be reached, speaking nothing");
    return connection != nullptr;
  }

  void Speak(const ktSentence& sentence) override {
    setLanguage(connection, sentence.language.c_str());
    say(connection, kPriorityText, sentence.text.c_str());
  }

 private:
  SpdConnection* connection = nullptr;
  SpdSay say = nullptr;
  SpdSetLanguage setLanguage = nullptr;
  SpdClose close = nullptr;
};

}  // namespace

ktSpeech* CreateSpeech() {
  return CreateSpeechThread(std::make_unique<SpeechDispatcher>(), "speech-dispatcher");
}
