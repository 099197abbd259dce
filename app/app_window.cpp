#include "app/app_window.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "app/trend.h"
#include "bluetooth/bluetooth_lib.h"
#include "platform/web_pages.h"
#include "render/canvas.h"
#include "resources/menu.h"
#include "resources/record_texts.h"
#include "resources/tr.h"
#include "resources/web_pages.h"
#include "support/trace.h"
#include "transport/wii_lib.h"
#include "window/form_dialog.h"
#include "window/virtual_key.h"
#include "window/window_canvas.h"

namespace {

// The inquiry lasts this many units of 1.28 s.
constexpr int kInquiryMultiplier = 5;
// The search lasts the inquiry, or the shortest search when that is longer.
constexpr int32_t kSearchMs =
    std::max(kInquiryMultiplier * kInquiryUnitMs, kBluetoothSearchLeastMs);
constexpr int32_t kRegistrationBits = ModeRegistering | ModeRegisterWait | ModeRegisterUpdate;

constexpr uint32_t kKeyRegister = 'A';
constexpr uint32_t kKeyZeroAdjust = 'C';
constexpr uint32_t kKeyChart = 'G';
constexpr uint32_t kKeyChangeRecord = 'E';
constexpr uint32_t kKeyAddRecord = 'N';
constexpr uint32_t kKeyUndo = 'Z';

struct UnitCommand {
  uint16_t command;
  WeightUnit unit;
};

constexpr UnitCommand kUnitCommands[] = {
    {resources::kCommandUnitKilograms, WeightUnit::Kilograms},
    {resources::kCommandUnitPounds, WeightUnit::Pounds},
    {resources::kCommandUnitStones, WeightUnit::StonesPounds},
};

struct RangeCommand {
  uint16_t command;
  uint32_t key;
  ChartRange range;
};

constexpr RangeCommand kRangeCommands[] = {
    {resources::kCommandChartMonth, '1', ChartRange::Month},
    {resources::kCommandChartQuarter, '2', ChartRange::Quarter},
    {resources::kCommandChartYear, '3', ChartRange::Year},
    {resources::kCommandChartAll, '4', ChartRange::All},
};

constexpr uint32_t kKeyChartUser = 'U';
constexpr uint32_t kKeyChartBmi = 'B';

int RunRegistration(void* window) {
  return static_cast<AppWindow*>(window)->RegistrationMain();
}

}  // namespace

// Every field starts at its declared value: all entries zero-adjust for their
// first frames, the start-up grace runs, the history is empty. Nothing here
// needs a window system, so the object can be built headless.
AppWindow::AppWindow(void* instance) : ktWindow(instance) {}

AppWindow::~AppWindow() {
  Cleanup();
}

// After Show. Failures leave the part missing and the program goes on: no
// picture without a canvas, no board without a device manager.
int AppWindow::Setup() {
  if (canvas == nullptr) {
    canvas = CreateWindowCanvas(*this, W, H, firstPresent);
  }
  LoadUserSettings();
  registerThread.Open();
  ChooseLogFile();
  LoadHistory();
  if (wiiLib == nullptr) {
    wiiLib = createWiiLib ? createWiiLib() : CreateWiiLib();
    if (wiiLib != nullptr) {
      wiiLib->Start(kWiiVendorId, kWiiProductId);
    }
  }
  return canvas != nullptr && wiiLib != nullptr ? 1 : 0;
}

// Releases what exists and marks it gone, so a second call does nothing.
void AppWindow::Cleanup() {
  // A running registration uses wiiLib and this window: cut its inquiry and
  // its wait short and wait for it to end before either goes away.
  registration.Cancel();
  registerThread.Join();
  registerThread.Close();
  if (canvas != nullptr) {
    canvas->Release();
    canvas = nullptr;
  }
  if (wiiLib != nullptr) {
    wiiLib->Release();
    wiiLib = nullptr;
  }
  CloseLog();
  ReleaseSpeech();
}

int AppWindow::OnMessage(WindowHandle, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  switch (message) {
    case kWmDestroy:
      PostQuitMessage(0);
      return 0;
    case kWmKeyDown:
      // Key presses are also passed on to the default handling.
      if (wParam == kKeyRegister) {
        StartRegistration();
      } else if (wParam == kKeyZeroAdjust) {
        ZeroAdjust();
      } else if (wParam == kKeyChart) {
        ToggleChart();
      } else {
        OnChartKey(static_cast<uint32_t>(wParam));
      }
      return 1;
    case kWmCommand:
      return OnCommand(static_cast<uint16_t>(wParam & 0xFFFF));
    case kWmMouseMove:
      // Also passed on to the default handling.
      HoverChart(static_cast<int>(lParam & 0xFFFF), static_cast<int>((lParam >> 16) & 0xFFFF));
      return 1;
    default:
      return 1;
  }
}

int AppWindow::OnCommand(uint16_t command) {
  using namespace resources;
  switch (command) {
    case kCommandExit:
      PostQuitMessage(0);
      return 0;
    case kCommandRegister:
      StartRegistration();
      return 0;
    case kCommandZeroAdjust:
      ZeroAdjust();
      return 0;
    case kCommandManualPage:
      OpenManualPage();
      return 0;
    case kCommandProgramPage:
      OpenProgramPage();
      return 0;
    case kCommandBlogPage:
      OpenBlogPage();
      return 0;
    case kCommandUnitKilograms:
    case kCommandUnitPounds:
    case kCommandUnitStones:
      for (const UnitCommand& entry : kUnitCommands) {
        if (entry.command == command)
          ChooseUnit(entry.unit);
      }
      return 0;
    case kCommandSpeech:
      ToggleSpeech();
      return 0;
    case kCommandRecognizeUser:
      settings.recognizeUser = !settings.recognizeUser;
      SaveSettings(settingsFolder, settings);
      return 0;
    case kCommandMeasureUser0:
    case kCommandMeasureUser1:
    case kCommandMeasureUser2:
    case kCommandMeasureUser3:
      StartMeasurement(command - kCommandMeasureUser0);
      return 0;
    case kCommandWeightChart:
      ToggleChart();
      return 0;
    case kCommandExportCsv:
      ExportCsv();
      return 0;
    case kCommandImportCsv:
      ImportCsv();
      return 0;
    case kCommandChangeRecord:
      ChangeSelectedRecord();
      return 0;
    case kCommandDeleteRecord:
      DeleteSelectedRecord();
      return 0;
    case kCommandAddRecord:
      AddRecordByHand();
      return 0;
    case kCommandUndoCorrection:
      UndoCorrection();
      return 0;
    case kCommandUsers:
      EditUsers();
      return 0;
    case kCommandChartMonth:
    case kCommandChartQuarter:
    case kCommandChartYear:
    case kCommandChartAll:
      for (const RangeCommand& entry : kRangeCommands) {
        if (entry.command == command)
          ChooseChartRange(entry.range);
      }
      return 0;
    case kCommandChartUser:
      CycleChartUser();
      return 0;
    case kCommandChartBmi:
      ToggleChartBmi();
      return 0;
    default:
      return 1;
  }
}

// The chart's keys: the arrows, Home and End select a record, the others
// correct the log as the menu's items do.
void AppWindow::OnChartKey(uint32_t key) {
  if (!chartShown)
    return;
  switch (key) {
    case kVkLeft:
      MoveChartSelection(-1);
      break;
    case kVkRight:
      MoveChartSelection(1);
      break;
    case kVkHome:
      MoveChartSelection(-static_cast<int32_t>(chartOrder.size()));
      break;
    case kVkEnd:
      MoveChartSelection(static_cast<int32_t>(chartOrder.size()));
      break;
    case kVkDelete:
      DeleteSelectedRecord();
      break;
    case kKeyChangeRecord:
      ChangeSelectedRecord();
      break;
    case kKeyAddRecord:
      AddRecordByHand();
      break;
    case kKeyUndo:
      UndoCorrection();
      break;
    case kKeyChartUser:
      CycleChartUser();
      break;
    case kKeyChartBmi:
      ToggleChartBmi();
      break;
    default:
      for (const RangeCommand& entry : kRangeCommands) {
        if (entry.key == key) {
          ChooseChartRange(entry.range);
          CheckMenuRadioItem(entry.command);
        }
      }
      break;
  }
}

// Only one registration runs at a time: a request while one runs (the A key
// repeats while held) is ignored.
void AppWindow::StartRegistration() {
  if (registerThread.IsRunning() || registration.IsCancelled()) {
    return;
  }
  failureNoticeFrames = 0;
  BeginRegistrationPhase(kSearchMs);
  modeFlags.fetch_or(ModeRegistering);
  registerThread.Close();
  registerThread.Open();
  registerThread.Start(RunRegistration, this);
  if (!registerThread.IsRunning()) {
    // No thread could be made; it cannot clear the screen's mode itself.
    // (A thread that already ended has cleared it, so clearing again is
    // harmless.)
    modeFlags.fetch_and(~kRegistrationBits);
  }
}

// The registration thread: one search; when it registered a board, a wait
// for the system to set it up, a new search for devices, and a fresh zero
// adjustment, which the next frame runs on the user-interface thread; then
// what went wrong, if anything, for the screen.
int AppWindow::RegistrationMain() {
  Trace("BeginAdd");
  ktBluetoothLib* bluetooth = createBluetoothLib ? createBluetoothLib() : CreateBluetoothLib();
  if (bluetooth != nullptr && registration.Attach(bluetooth)) {
    const int registered = bluetooth->AddDevices(kInquiryMultiplier);
    if (registered != 0) {
      FinishRegistration();
    }
    // A board that was heard but not registered is explained even when
    // another one was.
    registration.ReportFailure(bluetooth->LastFailure());
    registration.Detach();
  }
  if (bluetooth != nullptr) {
    bluetooth->Release();
  }
  Trace("EndAdd");
  modeFlags.fetch_and(~kRegistrationBits);
  return 0;
}

void AppWindow::FinishRegistration() {
  BeginRegistrationPhase(registrationWaitMs);
  modeFlags.fetch_or(ModeRegisterWait);
  Trace("Wait");
  if (!registration.Wait(registrationWaitMs)) {
    return;
  }
  BeginRegistrationPhase(0);
  modeFlags.fetch_or(ModeRegisterUpdate);
  Trace("Update");
  if (wiiLib != nullptr) {
    wiiLib->RequestUpdate();
  }
  zeroAdjustRequest.store(1);
}

void AppWindow::BeginRegistrationPhase(int32_t lengthMs) {
  registration.BeginPhase({NowMs(), lengthMs});
}

int64_t AppWindow::NowMs() const {
  if (clockMs != nullptr) {
    return clockMs();
  }
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// Shown from the next frame on and written at once, so that a program that
// is killed later still starts with it.
void AppWindow::ChooseUnit(WeightUnit unit) {
  settings.unit = unit;
  ShowSettingsInMenu();
  SaveSettings(settingsFolder, settings);
}

// A file that is missing or damaged leaves the defaults.
void AppWindow::LoadUserSettings() {
  if (settingsFolder.empty()) {
    settingsFolder = UserSettingsFolder();
  }
  LoadSettings(settingsFolder, &settings);
  ShowSettingsInMenu();
  ShowUserNames();
}

void AppWindow::ShowUserNames() {
  for (int user = 0; user < kUsers; ++user) {
    userNames[user] = settings.users[user].name;
    userHeightsMm[user] = settings.users[user].heightMm;
    userGoalsTenthsKg[user] = settings.users[user].goalTenthsKg;
    const uint16_t command = static_cast<uint16_t>(resources::kCommandMeasureUser0 + user);
    char text[128];
    std::snprintf(text, sizeof text, Tr(resources::kMeasureNamedUser), userNames[user].c_str());
    SetMenuItemText(command, userNames[user].empty() ? Tr(resources::MenuText(command)) : text);
  }
  ProjectGoals();
}

// Asks until every height and goal reads; names are taken as they come,
// cleaned.
void AppWindow::EditUsers() {
  FormQuestion form = Form(Tr(resources::kUsersTitle));
  AddUsersFields(&form, settings.users, settings.unit);
  for (;;) {
    if (!AskFormDialog(&form))
      return;
    if (ReadUsersForm(form, settings.unit, settings.users))
      break;
    form.note = Tr(resources::kUsersInvalid);
  }
  settings.usersInFile = 1;
  SaveSettings(settingsFolder, settings);
  ShowUserNames();
}

void AppWindow::ShowSettingsInMenu() {
  for (const RangeCommand& entry : kRangeCommands) {
    if (entry.range == chartRange)
      CheckMenuRadioItem(entry.command);
  }
  for (const UnitCommand& entry : kUnitCommands) {
    if (entry.unit == settings.unit)
      CheckMenuRadioItem(entry.command);
  }
  // The item starts unchecked and GTK flips it on every choice.
  if (settings.speech)
    CheckMenuRadioItem(resources::kCommandSpeech);
  if (settings.recognizeUser)
    CheckMenuRadioItem(resources::kCommandRecognizeUser);
}

void AppWindow::OpenManualPage() {
  OpenHelpPage(GetHandle(), resources::kManualUrl);
}

void AppWindow::OpenProgramPage() {
  OpenHelpPage(GetHandle(), resources::kProgramUrl);
}

void AppWindow::OpenBlogPage() {
  OpenHelpPage(GetHandle(), resources::kBlogUrl);
}
