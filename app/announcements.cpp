#include <cstdio>

#include "app/app_window.h"
#include "resources/tr.h"
#include "speech/speech.h"

// What the program says aloud when the user asked for it: a measurement
// that starts, the weight it records and whose it is, the end of a zero
// adjustment, and a board that is not found once the start-up grace is over.

namespace {

constexpr int kSentence = 256;
constexpr int kFigure = 32;

const char* SpokenLanguage() {
  return ShowsSourceTexts() ? "ja" : "en";
}

}  // namespace

void AppWindow::Announce(const char* sentence) {
  if (!settings.speech)
    return;
  if (!speech)
    speech = createSpeech ? createSpeech() : CreateSpeech();
  speech->Say(sentence, SpokenLanguage());
}

void AppWindow::AnnounceStart(int user) {
  char sentence[kSentence];
  std::snprintf(sentence, sizeof sentence, Tr("%s の測定を始めます。"),
                UserLabel(userNames, user).c_str());
  Announce(sentence);
}

void AppWindow::AnnounceRecord(int user, float kilograms) {
  char figure[kFigure];
  FormatHistoryWeight(figure, sizeof figure, static_cast<double>(kilograms), settings.unit);
  const char* weight = figure;
  while (*weight == ' ')
    ++weight;
  char sentence[kSentence];
  std::snprintf(sentence, sizeof sentence, Tr("%s の体重 %s を記録しました。"),
                UserLabel(userNames, user).c_str(), weight);
  Announce(sentence);
}

// Said once when it happens, not in every frame that shows it.
void AppWindow::AnnounceFrame(const ScreenFrame& frame) {
  if (zeroAdjustEnded) {
    zeroAdjustEnded = 0;
    Announce(Tr("0kg調整が終わりました。"));
  }
  const int noBoard =
      (frame.modeFlags & ModeRegistering) == 0 && !frame.activeEntry && frame.pending == 0;
  if (noBoard && !noBoardAnnounced)
    Announce(Tr("バランスWiiボード が見つかりません。"));
  noBoardAnnounced = noBoard;
}

void AppWindow::ToggleSpeech() {
  settings.speech = !settings.speech;
  SaveSettings(settingsFolder, settings);
}

void AppWindow::ReleaseSpeech() {
  if (speech) {
    speech->Release();
    speech = nullptr;
  }
}
