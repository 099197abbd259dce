#include "speech/speech_thread.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "support/trace.h"

namespace {

// Sentences that wait beyond this are dropped: they describe the past.
constexpr size_t kMaxWaiting = 8;
// How long closing waits for a sentence being handed to the service.
constexpr std::chrono::milliseconds kReleaseWait{500};

// What the speaking thread works on. The thread holds it too, so a thread
// stuck in a service that does not answer can be left behind at Release.
struct SpeechQueue {
  explicit SpeechQueue(std::unique_ptr<ktSpeechService> service) : service(std::move(service)) {}

  std::mutex lock;
  std::condition_variable wake;
  std::deque<ktSentence> waiting;
  bool stopping = false;
  bool missing = false;
  bool done = false;
  std::unique_ptr<ktSpeechService> service;  // used by the thread only

  void Run() {
    bool connected = false;
    for (ktSentence sentence; Next(&sentence);) {
      if (!connected && !(connected = service->Connect())) {
        std::lock_guard<std::mutex> hold(lock);
        missing = true;
        waiting.clear();
        break;
      }
      service->Speak(sentence);
    }
    service.reset();
    std::lock_guard<std::mutex> hold(lock);
    done = true;
    wake.notify_all();
  }

  bool Next(ktSentence* sentence) {
    std::unique_lock<std::mutex> hold(lock);
    wake.wait(hold, [this] { return stopping || !waiting.empty(); });
    if (stopping)
      return false;
    *sentence = std::move(waiting.front());
    waiting.pop_front();
    return true;
  }
};

class ktSpeechImp final : public ktSpeech {
 public:
  ktSpeechImp(std::unique_ptr<ktSpeechService> service, const char* name)
      : name(name),
        queue(std::make_shared<SpeechQueue>(std::move(service))),
        worker([q = queue] { q->Run(); }) {}

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
      DebugPrint("speech: %s does not answer, leaving it", name);
      worker.detach();
    }
    delete this;
  }

 private:
  const char* name;
  std::shared_ptr<SpeechQueue> queue;
  std::thread worker;  // after the queue, so it starts when the queue exists
};

}  // namespace

ktSpeech* CreateSpeechThread(std::unique_ptr<ktSpeechService> service, const char* name) {
  return new ktSpeechImp(std::move(service), name);
}
