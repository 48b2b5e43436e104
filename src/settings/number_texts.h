#pragma once
// The number texts of the settings as Apply reads them. A number is written as a
// person writes one: an optional sign, digits, and at most one decimal point, for
// which a decimal comma counts ("0,05" is 0.05). The comma is read here only;
// CText's own conversion keeps its rules for the formulas and the settings file.

#include "expr/text.h"

#include <cstdint>

class PlotSettings;

enum class NumberProblem { None, Empty, NotANumber, ExtraPoint, TooLarge };

// Reads one text. Its whole part may be at most 2147483647, the most the
// conversion reads exactly. The value is set only when there is no problem.
NumberProblem readNumber(const CText& text, double& value);

// The fourteen numbers of the settings, in field order.
struct SettingsNumbers {
  double oX = 0, oY = 0, xFrom = 0, xTo = 0, yFrom = 0, yTo = 0, tFrom = 0, tTo = 0;
  double a = 0, b = 0, c = 0, d = 0, accuracy = 0;
  std::int32_t originX = 0, originY = 0, pixels = 0; // truncated toward zero
};

// "<what> <label> : <text> \r\n ", the form of every refusal of a number text;
// with quoted, the text stands between double quotes. The text may be two joined
// by " ; " (a range's ends), each quoted on its own.
void describeRefusal(CText& message, const char* what, const char* label, const CText& text,
                     bool quoted, const CText* second = nullptr);

// Reads the number texts in field order. False, with the message for the first
// text Apply must refuse, "<what is wrong> <label> : <the text as typed> \r\n ":
// a text that is not a number, a whole part beyond 2147483647, pixels below 1,
// or an X or Y range whose lower end is not below its upper end. The T range may
// run backwards, and the accuracy is judged with the ranges it scans. The texts
// are quoted as the settings' quoteRefusedNumbers asks.
bool readSettingsNumbers(const PlotSettings& settings, SettingsNumbers& numbers, CText& message);
