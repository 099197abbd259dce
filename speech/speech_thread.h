#pragma once

#include <memory>
#include <string>

#include "speech/speech.h"

// What every platform's speech shares: a thread of its own that takes the
// sentences from a short queue and hands them to the platform's service one
// at a time, so Say never waits for the service.

struct ktSentence {
  std::string text;
  std::string language;  // "ja", "en"
};

// A platform's speech service, used on the speaking thread only and
// destroyed there, so services bound to the thread that opened them work.
class ktSpeechService {
 public:
  virtual ~ktSpeechService() = default;
  // Reaches the service, at the first sentence, so a program that never
  // speaks never starts it. When it cannot, says why once and returns 0.
  virtual int Connect() = 0;
  // Returns when the service has taken the sentence or said it.
  virtual void Speak(const ktSentence& sentence) = 0;
};

// `name` names the service in the debug line when it does not answer.
ktSpeech* CreateSpeechThread(std::unique_ptr<ktSpeechService> service, const char* name);
