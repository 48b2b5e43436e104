#include "settings/number_texts.h"

#include "expr/numeric.h"
#include "settings/plot_settings.h"

#include <algorithm>

namespace {

constexpr std::int64_t kLargestWhole = 2147483647;

const char* problemText(NumberProblem problem) {
  switch (problem) {
  case NumberProblem::Empty:
    return "не задано число"_cp1251;
  case NumberProblem::ExtraPoint:
    return "лишняя десятичная точка или запятая в числе"_cp1251;
  case NumberProblem::TooLarge:
    return "слишком большое по модулю число"_cp1251;
  default:
    return "не верно записано число"_cp1251;
  }
}

// A number text with the label the dialog shows beside its edit. The origin's
// labels name the axis drawn there: "OY" stands by the origin's x.
struct Field {
  CText PlotSettings::*text;
  double SettingsNumbers::*value;
  const char* label;
};

constexpr Field kFields[] = {
    {&PlotSettings::oXText, &SettingsNumbers::oX, "OY"},
    {&PlotSettings::oYText, &SettingsNumbers::oY, "OX"},
    {&PlotSettings::xFromText, &SettingsNumbers::xFrom, "X(ot,to)"},
    {&PlotSettings::xToText, &SettingsNumbers::xTo, "X(ot,to)"},
    {&PlotSettings::yFromText, &SettingsNumbers::yFrom, "Y(ot,to)"},
    {&PlotSettings::yToText, &SettingsNumbers::yTo, "Y(ot,to)"},
    {&PlotSettings::tFromText, &SettingsNumbers::tFrom, "T(ot,to)"},
    {&PlotSettings::tToText, &SettingsNumbers::tTo, "T(ot,to)"},
    {&PlotSettings::aText, &SettingsNumbers::a, "a"},
    {&PlotSettings::bText, &SettingsNumbers::b, "b"},
    {&PlotSettings::cText, &SettingsNumbers::c, "c"},
    {&PlotSettings::dText, &SettingsNumbers::d, "d"},
    {&PlotSettings::accuracyText, &SettingsNumbers::accuracy, "Accuracy"},
};

// A range's two texts: "8 ; 2".
bool rangeRuns(double from, double to, const CText& fromText, const CText& toText,
               const char* label, bool quoted, CText& message) {
  if (from < to) {
    return true;
  }
  describeRefusal(message, "начало не меньше конца"_cp1251, label, fromText, quoted, &toText);
  return false;
}

void appendText(CText& message, const CText& text, bool quoted) {
  if (quoted) {
    message.append("\"");
  }
  message.append(text.buffer, 0, text.length);
  if (quoted) {
    message.append("\"");
  }
}

} // namespace

void describeRefusal(CText& message, const char* what, const char* label, const CText& text,
                     bool quoted, const CText* second) {
  message.assign(CText(what));
  message.append(" ");
  message.append(label);
  message.append(" : ");
  appendText(message, text, quoted);
  if (second != nullptr) {
    message.append(" ; ");
    appendText(message, *second, quoted);
  }
  message.append(" \r\n ");
}

NumberProblem readNumber(const CText& text, double& value) {
  if (text.length == 0) {
    return NumberProblem::Empty;
  }
  const char* p = text.buffer;
  const bool sign = p[0] == '-' || p[0] == '+';
  int digits = 0;
  int points = 0;
  std::int64_t whole = 0;
  for (std::int32_t i = sign ? 1 : 0; i < text.length; ++i) {
    const char ch = p[i];
    if (ch >= '0' && ch <= '9') {
      ++digits;
      if (points == 0) {
        whole = std::min(whole * 10 + (ch - '0'), kLargestWhole + 1);
      }
    } else if (ch == '.' || ch == ',') {
      ++points;
    } else {
      return NumberProblem::NotANumber;
    }
  }
  if (digits == 0) {
    return NumberProblem::NotANumber;
  }
  if (points > 1) {
    return NumberProblem::ExtraPoint;
  }
  if (whole > kLargestWhole) {
    return NumberProblem::TooLarge;
  }
  // The text's own conversion, on a copy with the point for a comma and no plus.
  CText plain;
  plain.assign(text.buffer, p[0] == '+' ? 1 : 0, p[0] == '+' ? text.length - 1 : text.length);
  std::replace(plain.buffer, plain.buffer + plain.length, ',', '.');
  value = plain.toReal(0);
  return NumberProblem::None;
}

bool readSettingsNumbers(const PlotSettings& settings, SettingsNumbers& numbers, CText& message) {
  const bool quoted = settings.quoteRefusedNumbers;
  auto read = [&](const CText& text, double& value, const char* label) {
    const NumberProblem problem = readNumber(text, value);
    if (problem != NumberProblem::None) {
      describeRefusal(message, problemText(problem), label, text, quoted);
      return false;
    }
    return true;
  };
  for (const Field& f : kFields) {
    if (!read(settings.*f.text, numbers.*f.value, f.label)) {
      return false;
    }
  }
  double pixels = 0;
  if (!read(settings.pixelsText, pixels, "Pixels")) {
    return false;
  }
  numbers.originX = numeric::trunc32(numbers.oX);
  numbers.originY = numeric::trunc32(numbers.oY);
  numbers.pixels = numeric::trunc32(pixels);
  if (!rangeRuns(numbers.xFrom, numbers.xTo, settings.xFromText, settings.xToText, "X(ot,to)",
                 quoted, message) ||
      !rangeRuns(numbers.yFrom, numbers.yTo, settings.yFromText, settings.yToText, "Y(ot,to)",
                 quoted, message)) {
    return false;
  }
  if (numbers.pixels < 1) {
    describeRefusal(message, "масштаб меньше 1"_cp1251, "Pixels", settings.pixelsText, quoted);
    return false;
  }
  return true;
}
