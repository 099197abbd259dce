#include "app/users.h"

#include <cmath>
#include <cstdio>

#include "resources/record_texts.h"
#include "resources/tr.h"
#include "window/form_dialog.h"

namespace {

constexpr double kMillimetresPerInch = 25.4;
constexpr int kInchesPerFoot = 12;
constexpr int kMostDigits = 9;

bool TypesPounds(WeightUnit unit) {
  return unit != WeightUnit::Kilograms;
}

std::string Trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos)
    return "";
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// The length of the UTF-8 sequence that starts with byte, 0 when none does.
int SequenceLength(unsigned char byte) {
  if (byte < 0x80)
    return 1;
  if (byte >= 0xC2 && byte <= 0xDF)
    return 2;
  if (byte >= 0xE0 && byte <= 0xEF)
    return 3;
  if (byte >= 0xF0 && byte <= 0xF4)
    return 4;
  return 0;
}

// Feet and inches: 5'7, 5' 7.5", 5'.
int ParseFeetAndInches(const std::string& text, int32_t* heightMm) {
  const size_t mark = text.find('\'');
  if (mark == std::string::npos)
    return 0;
  int64_t feet = 0;
  int64_t tenthsOfInch = 0;
  std::string inches = Trimmed(text.substr(mark + 1));
  if (!inches.empty() && inches.back() == '"')
    inches.pop_back();
  if (!ParseDecimal(text.substr(0, mark), 0, &feet) ||
      (!Trimmed(inches).empty() && !ParseDecimal(inches, 1, &tenthsOfInch)))
    return 0;
  const double totalInches = static_cast<double>(feet * kInchesPerFoot) + tenthsOfInch / 10.0;
  *heightMm = static_cast<int32_t>(std::lround(totalInches * kMillimetresPerInch));
  return 1;
}

}  // namespace

int ParseDecimal(const std::string& text, int decimals, int64_t* scaled) {
  const std::string number = Trimmed(text);
  int64_t value = 0;
  int digits = 0;
  int fraction = -1;  // digits after the point; -1 before it
  for (char c : number) {
    if (c >= '0' && c <= '9' && digits < kMostDigits && fraction < decimals) {
      value = value * 10 + (c - '0');
      ++digits;
      fraction += fraction >= 0;
    } else if ((c == '.' || c == ',') && fraction < 0 && digits > 0 && decimals > 0) {
      fraction = 0;
    } else {
      return 0;
    }
  }
  if (digits == 0)
    return 0;
  for (int i = fraction < 0 ? 0 : fraction; i < decimals; ++i)
    value *= 10;
  *scaled = value;
  return 1;
}

std::string HeightText(int32_t heightMm, WeightUnit unit) {
  if (heightMm <= 0)
    return "";
  char text[32];
  if (TypesPounds(unit)) {
    const long tenthsOfInch = std::lround(heightMm / kMillimetresPerInch * 10.0);
    std::snprintf(text, sizeof text, "%ld'%ld.%ld", tenthsOfInch / (kInchesPerFoot * 10),
                  tenthsOfInch % (kInchesPerFoot * 10) / 10, tenthsOfInch % 10);
  } else {
    std::snprintf(text, sizeof text, "%d.%d", heightMm / 10, heightMm % 10);
  }
  return text;
}

int ParseHeight(const std::string& text, WeightUnit unit, int32_t* heightMm) {
  if (Trimmed(text).empty()) {
    *heightMm = 0;
    return 1;
  }
  int32_t height = 0;
  int64_t tenthsOfCm = 0;
  if (TypesPounds(unit) && text.find('\'') != std::string::npos) {
    if (!ParseFeetAndInches(text, &height))
      return 0;
  } else if (ParseDecimal(text, 1, &tenthsOfCm)) {
    height = static_cast<int32_t>(tenthsOfCm);
  } else {
    return 0;
  }
  if (height < kLeastHeightMm || height > kMostHeightMm)
    return 0;
  *heightMm = height;
  return 1;
}

std::string TypedWeightText(int32_t tenthsKg, WeightUnit unit) {
  char text[32];
  if (TypesPounds(unit)) {
    std::snprintf(text, sizeof text, "%.1f", PoundsFromKilograms(tenthsKg / 10.0));
  } else {
    std::snprintf(text, sizeof text, "%d.%d", tenthsKg / 10, tenthsKg % 10);
  }
  return text;
}

int ParseTypedWeight(const std::string& text, WeightUnit unit, int32_t* tenthsKg) {
  int64_t hundredths = 0;
  if (!ParseDecimal(text, 2, &hundredths))
    return 0;
  double kilograms = hundredths / 100.0;
  if (TypesPounds(unit))
    kilograms *= kKilogramsPerPound;
  const int64_t tenths = std::llround(kilograms * 10.0);
  if (tenths <= 0 || tenths > kMostTenthsKg)
    return 0;
  *tenthsKg = static_cast<int32_t>(tenths);
  return 1;
}

const char* TypedWeightUnit(WeightUnit unit) {
  return TypesPounds(unit) ? "lb" : "kg";
}

std::string CleanName(const std::string& typed) {
  const std::string text = Trimmed(typed);
  std::string name;
  int characters = 0;
  for (size_t i = 0; i < text.size() && characters < kMostNameCharacters;) {
    const auto byte = static_cast<unsigned char>(text[i]);
    const int length = SequenceLength(byte);
    bool whole = length > 0 && i + length <= text.size();
    for (int k = 1; whole && k < length; ++k)
      whole = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
    if (!whole) {
      ++i;
      continue;
    }
    if (byte >= 0x20 && byte != 0x7F) {
      name.append(text, i, length);
      ++characters;
    }
    i += length;
  }
  return Trimmed(name);
}

namespace {

constexpr int kFieldsPerUser = 3;

std::string Label(const char* format, int user, const char* unit) {
  char text[128];
  std::snprintf(text, sizeof text, Tr(format), user, unit);
  return text;
}

std::string GoalText(int32_t tenthsKg, WeightUnit unit) {
  return tenthsKg > 0 ? TypedWeightText(tenthsKg, unit) : "";
}

}  // namespace

void AddUsersFields(FormQuestion* form, const UserProfile (&users)[kUsers], WeightUnit unit) {
  const char* heightUnit = TypesPounds(unit) ? "ft'in" : "cm";
  for (int user = 0; user < kUsers; ++user) {
    const UserProfile& profile = users[user];
    form->fields.push_back({Label(resources::kUserName, user, ""), profile.name, {}, 0});
    form->fields.push_back({Label(resources::kUserHeight, user, heightUnit),
                            HeightText(profile.heightMm, unit),
                            {},
                            0});
    form->fields.push_back({Label(resources::kUserGoal, user, TypedWeightUnit(unit)),
                            GoalText(profile.goalTenthsKg, unit),
                            {},
                            0});
  }
}

int ReadUsersForm(const FormQuestion& form, WeightUnit unit, UserProfile (&users)[kUsers]) {
  UserProfile read[kUsers];
  for (int user = 0; user < kUsers; ++user) {
    const FormField* fields = &form.fields[static_cast<size_t>(user * kFieldsPerUser)];
    read[user].name = CleanName(fields[0].text);
    if (!ParseHeight(fields[1].text, unit, &read[user].heightMm))
      return 0;
    const bool noGoal = fields[2].text.find_first_not_of(' ') == std::string::npos;
    if (!noGoal && !ParseTypedWeight(fields[2].text, unit, &read[user].goalTenthsKg))
      return 0;
  }
  for (int user = 0; user < kUsers; ++user)
    users[user] = read[user];
  return 1;
}
