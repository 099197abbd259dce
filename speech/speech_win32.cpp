#include <windows.h>

#include <sapi.h>

#include <memory>
#include <string>

#include "speech/speech_thread.h"
#include "support/trace.h"

// The Windows speech service (SAPI): a voice object of COM on the speaking
// thread, in an apartment of that thread's own, so the window's thread keeps
// whatever COM setup the rest of the program needs.

namespace {

// SAPI names languages by their Windows language id, in hex.
const wchar_t* VoiceAttributes(const std::string& language) {
  if (language == "ja")
    return L"Language=411";
  if (language == "en")
    return L"Language=409";
  return nullptr;
}

std::wstring Utf16(const std::string& text) {
  const int size = static_cast<int>(text.size());
  const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
  std::wstring wide(length, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), size, wide.data(), length);
  return wide;
}

class SapiVoice final : public ktSpeechService {
 public:
  ~SapiVoice() override {
    if (voice)
      voice->Release();
    if (apartment)
      CoUninitialize();
  }

  int Connect() override {
    HRESULT result = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    apartment = SUCCEEDED(result);
    if (apartment)
      result = CoCreateInstance(__uuidof(SpVoice), nullptr, CLSCTX_ALL, __uuidof(ISpVoice),
                                reinterpret_cast<void**>(&voice));
    if (FAILED(result)) {
      DebugPrint("speech: the Windows speech service cannot be reached (0x%08lx), speaking nothing",
                 static_cast<unsigned long>(result));
      return 0;
    }
    return 1;
  }

  // Spoken here, to the end: the queue in front drops sentences that wait
  // too long, which a queue inside SAPI would not.
  void Speak(const ktSentence& sentence) override {
    if (sentence.language != language) {
      language = sentence.language;
      ChooseVoice();
    }
    voice->Speak(Utf16(sentence.text).c_str(), SPF_IS_NOT_XML, nullptr);
  }

 private:
  // A voice of the sentence's language when one is installed, else the
  // voice the user chose in the system's settings.
  void ChooseVoice() {
    ISpObjectToken* token = FindVoice(VoiceAttributes(language));
    voice->SetVoice(token);
    if (token)
      token->Release();
  }

  static ISpObjectToken* FindVoice(const wchar_t* attributes) {
    if (!attributes)
      return nullptr;
    ISpObjectTokenCategory* category = nullptr;
    if (FAILED(CoCreateInstance(__uuidof(SpObjectTokenCategory), nullptr, CLSCTX_ALL,
                                __uuidof(ISpObjectTokenCategory),
                                reinterpret_cast<void**>(&category))))
      return nullptr;
    ISpObjectToken* token = nullptr;
    IEnumSpObjectTokens* tokens = nullptr;
    if (SUCCEEDED(category->SetId(SPCAT_VOICES, FALSE)) &&
        SUCCEEDED(category->EnumTokens(attributes, nullptr, &tokens)) && tokens) {
      if (tokens->Next(1, &token, nullptr) != S_OK)
        token = nullptr;
      tokens->Release();
    }
    category->Release();
    return token;
  }

  bool apartment = false;
  ISpVoice* voice = nullptr;
  std::string language;
};

}  // namespace

ktSpeech* CreateSpeech() {
  return CreateSpeechThread(std::make_unique<SapiVoice>(), "the Windows speech service");
}
