#pragma once

// Says sentences aloud through the desktop's speech service, with the voice
// and rate the user chose there. Speaking happens on a thread of its own, so
// Say returns at once and never holds up a frame.
class ktSpeech {
 public:
  // Queues the sentence (UTF-8) in the given language ("ja", "en"); 1 when
  // queued, 0 when the service is known to be missing.
  virtual int Say(const char* sentence, const char* language) = 0;
  // Stops the thread, lets go of the service and deletes the object.
  virtual void Release() = 0;

 protected:
  virtual ~ktSpeech() = default;
};

// The speech service of the desktop. A missing service makes a silent
// object, said once on the debug output; never null.
ktSpeech* CreateSpeech();
