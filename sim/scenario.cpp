#include "sim/scenario.h"

#include <cmath>
#include <utility>

#include "sim/sim_board.h"

namespace {

constexpr float kNoiseKg = 0.03f;
constexpr float kSwayBalance = 0.06f;
constexpr double kSwayPeriodSeconds = 3.7;
constexpr double kTwoPi = 6.283185307179586;

}  // namespace

Scenario::Scenario(std::vector<ScenarioPhase> phases, uint32_t seed)
    : phases(std::move(phases)), noiseState(seed == 0 ? 1 : seed) {}

double Scenario::Duration() const {
  double total = 0.0;
  for (const ScenarioPhase& phase : phases) {
    total += phase.seconds;
  }
  return total;
}

int Scenario::PhaseIndex() const {
  double start = 0.0;
  for (std::size_t i = 0; i < phases.size(); ++i) {
    start += phases[i].seconds;
    if (time < start) {
      return static_cast<int>(i);
    }
  }
  return static_cast<int>(phases.size());
}

float Scenario::NominalLoad() const {
  const int index = PhaseIndex();
  if (index >= static_cast<int>(phases.size())) {
    return 0.0f;
  }
  double start = 0.0;
  for (int i = 0; i < index; ++i) {
    start += phases[i].seconds;
  }
  const ScenarioPhase& phase = phases[index];
  const float progress =
      phase.seconds > 0.0 ? static_cast<float>((time - start) / phase.seconds) : 1.0f;
  switch (phase.kind) {
    case ScenarioPhase::kStepOn:
      return phase.weightKg * progress;
    case ScenarioPhase::kStand:
      return phase.weightKg;
    case ScenarioPhase::kStepOff:
      return phase.weightKg * (1.0f - progress);
    default:
      return 0.0f;
  }
}

// Uniform noise in -1..1 from a 32-bit xorshift: the same on every platform.
float Scenario::NextNoise() {
  noiseState ^= noiseState << 13;
  noiseState ^= noiseState >> 17;
  noiseState ^= noiseState << 5;
  return static_cast<float>(noiseState) / 2147483648.0f - 1.0f;
}

void Scenario::Advance(SimBoard& board, double seconds) {
  time += seconds;
  const int index = PhaseIndex();
  const bool inPhase = index < static_cast<int>(phases.size());
  const ScenarioPhase::Kind kind = inPhase ? phases[index].kind : ScenarioPhase::kEmpty;
  float load = NominalLoad();
  float balanceX = 0.0f;
  float balanceY = 0.0f;
  if (kind == ScenarioPhase::kStand) {
    load += kNoiseKg * NextNoise();
    const double angle = kTwoPi * time / kSwayPeriodSeconds;
    balanceX = kSwayBalance * static_cast<float>(std::sin(angle));
    balanceY = kSwayBalance * static_cast<float>(std::cos(angle * 0.7));
  }
  // A real board's cells never read perfectly still, so it reports every
  // step; an unchanged simulated board repeats its last report instead.
  const bool buttonSent = board.SetButton(kind == ScenarioPhase::kPressButton);
  const bool loadSent = board.SetTotalLoad(load, balanceX, balanceY);
  if (!buttonSent && !loadSent) {
    board.ResendData();
  }
}

std::vector<ScenarioPhase> WeighInScript() {
  using P = ScenarioPhase;
  return {
      {P::kEmpty, 4.0, 0.0f},   {P::kPressButton, 0.3, 0.0f}, {P::kEmpty, 1.0, 0.0f},
      {P::kStepOn, 1.2, 62.4f}, {P::kStand, 6.0, 62.4f},      {P::kStepOff, 1.0, 62.4f},
      {P::kEmpty, 3.0, 0.0f},   {P::kPressButton, 0.3, 0.0f}, {P::kEmpty, 1.0, 0.0f},
      {P::kStepOn, 1.2, 81.7f}, {P::kStand, 6.0, 81.7f},      {P::kStepOff, 1.0, 81.7f},
      {P::kEmpty, 3.0, 0.0f},
  };
}
