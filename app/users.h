#pragma once

#include <cstdint>
#include <string>

#include "screen/screen_data.h"
#include "screen/units.h"

struct FormQuestion;

// The four users as the user describes them: a name, a height and a goal,
// kept in the settings file. The log keeps only the user's number.

struct UserProfile {
  std::string name;          // empty: called "UserN"
  int32_t heightMm = 0;      // 0: not given
  int32_t goalTenthsKg = 0;  // 0: no goal
};

// Names longer than this are cut, so a history line still fits the screen.
inline constexpr int kMostNameCharacters = 10;
// The heights and weights a user may give.
inline constexpr int32_t kLeastHeightMm = 500;
inline constexpr int32_t kMostHeightMm = 2500;
inline constexpr int32_t kMostTenthsKg = 3500;

// A plain decimal number, at most `decimals` of them after a point or a
// comma, read without the C library so no locale changes its meaning;
// spaces around it are allowed. *scaled is the number times 10^decimals.
int ParseDecimal(const std::string& text, int decimals, int64_t* scaled);

// The height as the form shows it: centimetres ("170.5"), or feet and
// inches ("5'7.1") when weights are shown in pounds or stones; empty for
// none.
std::string HeightText(int32_t heightMm, WeightUnit unit);
// Reads a height typed in the same way; an empty text is no height (0).
// Heights outside 50 cm to 250 cm are refused.
int ParseHeight(const std::string& text, WeightUnit unit, int32_t* heightMm);

// A weight as typed in the form: kilograms, or pounds when the screen
// shows pounds or stones; rounded to tenths of a kilogram.
std::string TypedWeightText(int32_t tenthsKg, WeightUnit unit);
// Reads such a weight; it must be more than 0 and at most 350 kg.
int ParseTypedWeight(const std::string& text, WeightUnit unit, int32_t* tenthsKg);
// "kg", or "lb" for pounds and stones.
const char* TypedWeightUnit(WeightUnit unit);

// A name as kept: control characters and bytes that are not UTF-8 left
// out, spaces around it trimmed, at most kMostNameCharacters characters.
std::string CleanName(const std::string& text);

// The users dialog's fields: per user a name, a height and a goal weight,
// as the users are now.
void AddUsersFields(FormQuestion* form, const UserProfile (&users)[kUsers], WeightUnit unit);
// The dialog's answers into users: 0 (users unchanged) when a height or a
// goal does not read.
int ReadUsersForm(const FormQuestion& form, WeightUnit unit, UserProfile (&users)[kUsers]);
