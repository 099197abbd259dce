#include <dlfcn.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
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
// How long closing waits for a sentence being handed to the service.
constexpr std::chrono::milliseconds kReleaseWait{500};

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

// What the speaking thread works on. The thread holds it too, so a thread
// stuck in a service that does not answer can be left behind at Release.
struct SpeechQueue {
  std::mutex lock;
  std::condition_variable wake;
  std::deque<Sentence> waiting;
  bool stopping = false;
  bool missing = false;
  bool done = false;

  // Used by the thread only.
  void* library = nullptr;
  SpdConnection* connection = nullptr;
  SpdSay say = nullptr;
  SpdSetLanguage setLanguage = nullptr;
  SpdClose close = nullptr;

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
    std::lock_guard<std::mutex> hold(lock);
    done = true;
    wake.notify_all();
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
};

class ktSpeechImp final : public ktSpeech {
 public:
  ktSpeechImp() : queue(std::make_shared<SpeechQueue>()), worker([q = queue] { q->Run(); }) {}

  int Say(const char* sentence, const char* language) override {
    std::lock_guard<std::mutex> hold(queue->lock);
    if (queue->missing || queue->stopping)
      return 0;
    if (queue->waiting.size() == kMaxWaiting)
      queue->waiting.pop_front();
    queue->waiting.push_back({sentence, language});
    queue->wake.notify_one();
    return 1;
  }

  // Waits a moment for the thread; one that hangs in the service is left
  // to end on its own, so closing the window never waits for the service.
  void Release() override {
    bool done = false;
    {
      std::unique_lock<std::mutex> hold(queue->lock);
      queue->stopping = true;
      queue->wake.notify_all();
      done = queue->wake.wait_for(hold, kReleaseWait, [this] { return queue->done; });
    }
    if (done) {
      worker.join();
    } else {
      DebugPrint("speech: speech-dispatcher does not answer, leaving it");
      worker.detach();
    }
    delete this;
  }

 private:
  std::shared_ptr<SpeechQueue> queue;
  std::thread worker;  // after the queue, so it starts when the queue exists
};

}  // namespace

ktSpeech* CreateSpeech() {
  return new ktSpeechImp();
}
