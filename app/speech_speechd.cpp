#include <dlfcn.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

#include "app/speech.h"
#include "support/trace.h"

// speech-dispatcher, the service the screen reader speaks through, reached
// with its client library loaded at run time: the program needs neither
// the library nor a running service, and goes on silently without them.

namespace {

constexpr char kLibrary[] = "libspeechd.so.2";
constexpr char kClientName[] = "gravimo";
// Sentences that wait beyond this are dropped: they describe the past.
constexpr size_t kMaxWaiting = 8;

// The few calls of libspeechd that are used, with their C signatures.
struct SpdConnection;
constexpr int kModeSingle = 0;    // SPD_MODE_SINGLE
constexpr int kPriorityText = 3;  // SPD_TEXT: queued behind the screen reader's own
using SpdOpen = SpdConnection* (*)(const char*, const char*, const char*, int);
using SpdSay = int (*)(SpdConnection*, int, const char*);
using SpdSetLanguage = int (*)(SpdConnection*, const char*);
using SpdClose = void (*)(SpdConnection*);

struct Sentence {
  std::string text;
  std::string language;
};

class ktSpeechImp final : public ktSpeech {
 public:
  ktSpeechImp() : worker([this] { Run(); }) {}

  int Say(const char* sentence, const char* language) override {
    std::lock_guard<std::mutex> hold(lock);
    if (missing || stopping)
      return 0;
    if (waiting.size() == kMaxWaiting)
      waiting.pop_front();
    waiting.push_back({sentence, language});
    wake.notify_one();
    return 1;
  }

  void Release() override {
    {
      std::lock_guard<std::mutex> hold(lock);
      stopping = true;
    }
    wake.notify_one();
    if (worker.joinable())
      worker.join();
    delete this;
  }

 private:
  // Connects on the first sentence, so a program that never speaks never
  // starts the service.
  void Run() {
    for (Sentence sentence; Next(&sentence);) {
      if (!connection && !Connect()) {
        std::lock_guard<std::mutex> hold(lock);
        missing = true;
        waiting.clear();
        break;
      }
      setLanguage(connection, sentence.language.c_str());
      say(connection, kPriorityText, sentence.text.c_str());
    }
    // The library stays loaded: what it allocated may outlive the
    // connection, and a second object loads it again for free.
    if (connection)
      close(connection);
  }

  bool Next(Sentence* sentence) {
    std::unique_lock<std::mutex> hold(lock);
    wake.wait(hold, [this] { return stopping || !waiting.empty(); });
    if (stopping)
      return false;
    *sentence = std::move(waiting.front());
    waiting.pop_front();
    return true;
  }

  bool Connect() {
    library = dlopen(kLibrary, RTLD_NOW | RTLD_LOCAL);
    if (!library) {
      DebugPrint("speech: %s cannot be loaded (%s), speaking nothing", kLibrary, dlerror());
      return false;
    }
    auto open = reinterpret_cast<SpdOpen>(dlsym(library, "spd_open"));
    say = reinterpret_cast<SpdSay>(dlsym(library, "spd_say"));
    setLanguage = reinterpret_cast<SpdSetLanguage>(dlsym(library, "spd_set_language"));
    close = reinterpret_cast<SpdClose>(dlsym(library, "spd_close"));
    if (!open || !say || !setLanguage || !close) {
      DebugPrint("speech: %s lacks the calls it needs, speaking nothing", kLibrary);
      return false;
    }
    connection = open(kClientName, "main", nullptr, kModeSingle);
    if (!connection)
      DebugPrint("speech: speech-dispatcher cannot be reached, speaking nothing");
    return connection != nullptr;
  }

  std::mutex lock;
  std::condition_variable wake;
  std::deque<Sentence> waiting;
  bool stopping = false;
  bool missing = false;

  // Used by the worker only.
  void* library = nullptr;
  SpdConnection* connection = nullptr;
  SpdSay say = nullptr;
  SpdSetLanguage setLanguage = nullptr;
  SpdClose close = nullptr;

  std::thread worker;  // last, so it starts when the rest exists
};

}  // namespace

ktSpeech* CreateSpeech() {
  return new ktSpeechImp();
}
