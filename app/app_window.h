#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "app/log_edit.h"
#include "app/registration_gate.h"
#include "app/settings.h"
#include "platform/export_dialogs.h"
#include "screen/screen_data.h"
#include "support/worker_thread.h"
#include "window/window.h"

class ktWiiLib;
class ktWiiLibDevice;
class ktBluetoothLib;
class Canvas;
class ktSpeech;
struct FormQuestion;

// Fills *out with the current local time.
using LocalTimeSource = void (*)(struct tm* out);

// Monotonic milliseconds, read by the user-interface and registration threads.
using MillisecondClock = int64_t (*)();

using WiiLibFactory = std::function<ktWiiLib*()>;
using BluetoothLibFactory = ktBluetoothLib* (*)();

// The main window and owner of all application state.
class AppWindow : public ktWindow {
 public:
  explicit AppWindow(void* instance);
  ~AppWindow() override;

  int OnMessage(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) override;

  // Start-up and shutdown steps of the window.
  int Setup();
  void Cleanup();

  // One frame: the measurement's steps, then the picture of their result
  // drawn into the back buffer and presented, then the frame's pause.
  void RenderFrame();
  void ComposeMainScreen(ScreenFrame& frame);
  // Gives the window the frame's description when its text changed.
  void DescribeFrame(const ScreenFrame& frame);
  void ComposeRegistrationProgress(ScreenFrame& frame);
  void ComposeBluetoothFailure(ScreenFrame& frame);

  // Measurement controller.
  void StartMeasurement(int user);
  // The named user whose latest trend lies within 2 kg of the weight, when
  // exactly one does; -1 otherwise.
  int RecognizeUser(float kilograms);
  void ZeroAdjust();
  int PollDevices();  // returns the pending count
  void UpdateEntry(DeviceEntry& entry, ktWiiLibDevice* device);
  void UpdateMeasurement(DeviceEntry& entry);

  // Weight log.
  void ChooseLogFile();
  void LoadHistory();
  void AppendLog(DeviceEntry& entry);
  int WriteUnwrittenLog();   // 1 when no record is left unwritten
  void RetryUnwrittenLog();  // once per frame
  // Appends the waiting records to the file at path and forgets those it
  // took: 1 when none is left; errno says why the rest were not written.
  int AppendUnwritten(const std::string& path);
  void CloseLog();
  // At exit: offers to save the records that the log did not take in a file
  // the user picks, until they are saved or the user declines.
  void OfferToSaveUnwritten();
  std::string LogFolder() const;

  // The weight chart, which replaces the main screen while shown.
  void ToggleChart();
  void ReloadChart();
  // chartOrder, the trends and the goals' outlooks from chartLog.
  void OrderChart();
  void ProjectGoals();  // the goals' outlooks from the trends
  // What the chart shows now.
  ChartView CurrentChartView() const;
  void ChooseChartRange(ChartRange range);
  // All users, then each user with records alone, then all again.
  void CycleChartUser();
  void ToggleChartBmi();
  // The chart's selected record: moved along the records in time by
  // `step`, or chosen by its index in chartLog. Null when none is selected.
  void MoveChartSelection(int32_t step);
  // The pointer at (x, y) of the picture selects the record shown nearest
  // to it.
  void HoverChart(int x, int y);
  void SelectChartRecord(int32_t index);
  const LogRecord* SelectedRecord() const;
  bool ShowsRecord(const LogRecord& record) const;

  // Corrections of the log, each rewriting it with the old one kept
  // beside it; 1 when the log was rewritten.
  int CorrectLog(const LogEdit& edit);
  void ReloadAfterCorrection(const LogEdit& edit);
  int EditOfSelected(LogEdit::Kind kind, LogEdit* edit) const;
  void DeleteSelectedRecord();
  void ChangeSelectedRecord();
  void AddRecordByHand();
  void UndoCorrection();
  int AskForRecord(const char* title, LogRecord* record);
  // A form with the program's buttons, and the platform's dialog for it
  // (or the test's answer).
  FormQuestion Form(const char* title) const;
  int AskFormDialog(FormQuestion* form);

  // Commands.
  int OnCommand(uint16_t command);
  void OnChartKey(uint32_t key);
  void ExportCsv();
  // Reads a CSV file the user picks, says what it would bring and into
  // whose records, and merges it into the log when the user agrees.
  void ImportCsv();
  // The platform's dialogs, or the hooks below when set.
  std::string AskForSavePath(const SaveQuestion& question);
  void Tell(const std::string& text, int isError);
  int AskWhetherToSaveElsewhere(const std::string& text);
  void StartRegistration();
  int RegistrationMain();
  void FinishRegistration();
  void BeginRegistrationPhase(int32_t lengthMs);
  int64_t NowMs() const;
  void OpenManualPage();
  void OpenProgramPage();
  void OpenBlogPage();
  void ChooseUnit(WeightUnit unit);
  // The users dialog: names, heights and goals, kept in the settings.
  void EditUsers();
  // The users' names, heights and goals go to the menu, the screen, the
  // spoken texts and the chart.
  void ShowUserNames();
  void ToggleSpeech();

  // Sentences said aloud while the user has speech on.
  void Announce(const char* sentence);
  void AnnounceStart(int user);
  void AnnounceRecord(int user, float kilograms);
  void AnnounceFrame(const ScreenFrame& frame);
  void ReleaseSpeech();

  // Settings: read at Setup, written when the user changes one.
  void LoadUserSettings();
  void ShowSettingsInMenu();

  // Drawing resources.
  Canvas* canvas = nullptr;
  int32_t W = 600;
  int32_t H = 400;
  int32_t frameSleepMs = 33;  // the pause that ends every frame
  std::string description;    // the picture's accessible description, as last given

  ktWiiLib* wiiLib = nullptr;  // owned

  Settings settings;
  std::string userNames[kUsers];  // as given in the settings; empty: "UserN"
  std::string settingsFolder;     // of the settings file; the user's when empty at Setup

  // Measurement state.
  std::atomic<int32_t> modeFlags{0};
  int32_t currentUser = 0;
  int32_t startedByButton = 0;  // the running measurement began with the board's button
  int32_t measureTimer = 0;
  int32_t stableFrames = 0;
  int32_t prevButtons = 0;
  int32_t frameCount = 0;
  int32_t startupGrace = kStartupGraceFrames;
  DeviceEntry entries[kDeviceEntries];
  DeviceEntry* activeEntry = nullptr;

  HistoryLines history = {};

  std::string logPath;  // full path of the weight log file; chosen by Setup when empty
  LocalTimeSource localTime = nullptr;
  std::deque<std::string> unwrittenLog;  // records the file has not taken yet, oldest first
  int32_t logFailureReported = 0;        // the current failure to write was reported
  int32_t logRetryFrames = 0;            // frames since the unwritten records were tried

  int32_t chartShown = 0;
  LogRecords chartLog;  // the whole log as read when the chart was shown or last recorded
  std::vector<int32_t> chartOrder;  // indices of chartLog's records by date and time
  int32_t chartPosition = -1;       // the selected record's place in chartOrder; -1 none
  ChartRange chartRange = ChartRange::All;
  int32_t chartUser = -1;  // the one user shown; -1: all
  int32_t chartBmi = 0;    // body-mass index instead of weight
  std::vector<TrendPoint> chartTrends[kUsers];
  GoalOutlook chartOutlooks[kUsers];
  int32_t userHeightsMm[kUsers] = {};  // as given in the settings
  int32_t userGoalsTenthsKg[kUsers] = {};
  LogEdit undoEdit;  // takes the last correction back
  int32_t canUndo = 0;

  WorkerThread registerThread;
  // Set by the registration thread; the next frame runs ZeroAdjust on the
  // user-interface thread, so it never interleaves with a frame.
  std::atomic<int32_t> zeroAdjustRequest{0};

  // Where the device manager and the Bluetooth registration come from; the
  // system's when not set. The demo and tests set them before Setup.
  WiiLibFactory createWiiLib;
  // How many boards the device manager found but may not open;
  // CountRefusedDevices when not set.
  std::function<int(ktWiiLib*)> countRefusedDevices;
  BluetoothLibFactory createBluetoothLib = nullptr;
  int32_t registrationWaitMs = 10000;  // time the system gets to set up a new board
  RegistrationGate registration;
  // Where the speech service comes from; the desktop's when not set.
  std::function<ktSpeech*()> createSpeech;
  ktSpeech* speech = nullptr;          // owned; made when the first sentence is said
  int32_t zeroAdjustEnded = 0;         // a board's zero adjustment ended this frame
  int32_t noBoardAnnounced = 0;        // the board-not-found lines were shown last frame
  MillisecondClock clockMs = nullptr;  // the steady clock when not set
  // The failure of the last search while its notice shows, and for how many
  // more frames.
  BluetoothFailure shownFailure = BluetoothFailure::None;
  int32_t failureNoticeFrames = 0;
  // Called once, when the first picture has been copied to the window.
  std::function<void()> firstPresent;
  // The dialogs the commands show; the platform's when not set. Tests
  // answer them without a window system.
  std::function<std::string(const SaveQuestion&)> askSavePath;
  std::function<void(const std::string& text, int isError)> showMessage;
  std::function<int(const std::string& text)> askToSaveElsewhere;
  std::function<int(FormQuestion* form)> askForm;
  std::function<std::string(const char* title)> askOpenPath;
};
