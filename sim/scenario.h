#pragma once

#include <cstdint>
#include <vector>

class SimBoard;

// Drives a simulated board's loads through simulated time, phase by phase,
// without sleeping: Advance(board, seconds) moves the clock and sets the
// loads (and the front button) for the new time, sending at least one data
// report per step. Sway and noise are deterministic for a given seed.
struct ScenarioPhase {
  enum Kind {
    kEmpty,        // nothing on the board
    kStepOn,       // the load ramps from 0 to weightKg over the phase
    kStand,        // weightKg with slight sway and noise
    kStepOff,      // the load ramps from weightKg down to 0
    kPressButton,  // the front button is held for the phase, board empty
  };
  Kind kind = kEmpty;
  double seconds = 1.0;
  float weightKg = 0.0f;
};

class Scenario {
 public:
  explicit Scenario(std::vector<ScenarioPhase> phases, uint32_t seed = 1);

  void Advance(SimBoard& board, double seconds);
  double Time() const { return time; }
  double Duration() const;
  // The phase the clock is in; the phase count once the scenario is over.
  int PhaseIndex() const;
  bool Done() const { return time >= Duration(); }
  // The total load the scenario puts on the board at its current time,
  // before sway and noise.
  float NominalLoad() const;

 private:
  float NextNoise();

  std::vector<ScenarioPhase> phases;
  uint32_t noiseState;
  double time = 0.0;
};

// Two people weighing in one after the other: an empty board (while the host
// adjusts the zero point), a button press, stepping on, standing steady,
// stepping off; then the same for a second person.
std::vector<ScenarioPhase> WeighInScript();
