#include "settings/plot_settings.h"

#include "expr/program.h"
#include "settings/number_texts.h"

#include <cstdlib>
#include <mutex>

namespace {

constexpr CText PlotSettings::*kTexts[PlotSettings::TextCount] = {
    &PlotSettings::oXText,       &PlotSettings::oYText,       &PlotSettings::xFromText,
    &PlotSettings::xToText,      &PlotSettings::yFromText,    &PlotSettings::yToText,
    &PlotSettings::tFromText,    &PlotSettings::tToText,      &PlotSettings::aText,
    &PlotSettings::bText,        &PlotSettings::cText,        &PlotSettings::dText,
    &PlotSettings::accuracyText, &PlotSettings::pixelsText,   &PlotSettings::paramXText,
    &PlotSettings::paramYText,   &PlotSettings::implicitText, &PlotSettings::explicitText,
};

const char* const kDefaults[PlotSettings::TextCount] = {
    "300.0",
    "300.0",
    "-10.0",
    "10.0",
    "-10.0",
    "10.0",
    "-10.0",
    "10.0",
    "1.0",
    "1.0",
    "1.0",
    "1.0",
    "0.01",
    "20",
    "( 3*2*sin(x)*cos(x)/(sin(x)^3+cos(x)^3) )*cos(x)",
    "( 3*2*sin(x)*cos(x)/(sin(x)^3+cos(x)^3) )*sin(x)",
    "x^2 + y^2 - 1.0",
    "a*x^2 + b*x + c",
};

constexpr int kFirstFormula = 14;

// The filter pair "ini" / "*.ini", ended by an empty description.
constexpr char kFilter[] = "ini\0*.ini\0";

// The accuracy a pass could never finish with: not positive, not a number, or
// too small to move a sample forward at the ends of the ranges it would scan.
bool accuracyUsable(std::int32_t kind, const PlotState& after) {
  double step = after.accuracy;
  if (!(step > 0)) {
    return false;
  }
  switch (kind) {
  case Explicit:
    return samplingAdvances(after.xFrom, after.xTo, step);
  case Parametric:
    return samplingAdvances(after.tFrom, after.tTo, step);
  case ImplicitLess:
  case ImplicitEqual:
  case ImplicitGreater:
    return samplingAdvances(after.xFrom, after.xTo, step) &&
           samplingAdvances(after.yFrom, after.yTo, step);
  default:
    return true;
  }
}

} // namespace

CText* PlotSettings::text(int index) {
  return &(this->*kTexts[index]);
}

PlotSettings::PlotSettings() {
  fileDialog.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
  fileDialog.hwndOwner = dialogWindow;
  fileDialog.hInstance = nullptr;
  fileDialog.lpstrFilter = kFilter;
  fileDialog.nFilterIndex = 1;
  fileDialog.lpstrFile = fileName;
  fileDialog.nMaxFile = sizeof fileName;
  dialogWindow = nullptr;
  for (int i = 0; i < TextCount; ++i) {
    text(i)->reserve(i < kFirstFormula ? NumberTextCapacity : FormulaTextCapacity);
  }
  setDefaults();
}

PlotSettings::~PlotSettings() {
  for (int i = TextCount - 1; i >= 0; --i) {
    text(i)->release();
  }
}

void PlotSettings::setDefaults() {
  kind = Explicit;
  for (int i = 0; i < TextCount; ++i) {
    text(i)->assign(CText(kDefaults[i]));
  }
}

bool PlotSettings::apply(PlotState& live) {
  auto first = std::make_unique<CProgram>();
  auto second = std::make_unique<CProgram>();
  auto refuse = [&](const char* message) {
    MessageBoxA(dialogWindow, message, "ошибка"_cp1251, MB_OK);
    return false;
  };

  try {
    switch (kind) {
    case Explicit:
      first->compile(explicitText);
      break;
    case Parametric:
      first->compile(paramXText);
      second->compile(paramYText);
      break;
    case ImplicitLess:
    case ImplicitEqual:
    case ImplicitGreater:
      first->compile(implicitText);
      break;
    default:
      break;
    }
  } catch (char* message) {
    const RaisedText text(message);
    return refuse(text.get());
  }

  // Every number text is read and checked, then converted into a scratch state,
  // so that numbers the passes could not use are refused before anything is installed.
  SettingsNumbers n;
  CText wrong;
  if (!readSettingsNumbers(*this, n, wrong)) {
    return refuse(wrong.buffer);
  }
  auto setNumbers = [&n](PlotState& state) {
    state.a = n.a;
    state.b = n.b;
    state.c = n.c;
    state.d = n.d;
    state.tFrom = n.tFrom;
    state.tTo = n.tTo;
    state.setView(n.originX, n.originY, n.xFrom, n.xTo, n.yFrom, n.yTo, n.pixels);
    state.accuracy = n.accuracy;
  };
  PlotState after;
  after.copyFrom(live);
  setNumbers(after);

  if (!accuracyUsable(kind, after)) {
    CText message;
    describeRefusal(message,
                    !(after.accuracy > 0) ? "не верно задана точность"_cp1251
                                          : "слишком мала точность"_cp1251,
                    "Accuracy", accuracyText, quoteRefusedNumbers);
    return refuse(message.buffer);
  }

  std::lock_guard<std::mutex> lock(live.changeLock);
  setNumbers(live);
  live.kind = static_cast<GraphKind>(kind);
  live.installPrograms(std::move(first), std::move(second));
  return true;
}
