#include "command_line.h"

#include "messages.h"

#include <getopt.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

const char kUsageLine[] =
    "Usage: lumicurve-render [OPTION]... [SETTINGS.ini] OUTPUT.png|.svg|.pdf\n";

const char kAbout[] =
    "Draws the graph of a Lumicurve settings file (or of the default settings when\n"
    "none is given) exactly as the program would after Load and Apply, into a\n"
    "picture of 1024 x 768 pixels (or the --size given), and writes it to OUTPUT.\n"
    "A larger picture shows more of the plane at the same scale, as the program's\n"
    "window does when it grows. The extension of OUTPUT picks the format, in any\n"
    "letter case:\n"
    "  .png  the picture, in pixels\n"
    "  .svg  the same drawing as an SVG document, one unit a pixel\n"
    "  .pdf  the same drawing as a one-page PDF, one point a pixel\n"
    "The documents hold lines, filled areas and the axis labels as text, so they\n"
    "scale without loss and the labels can be searched.\n"
    "\n"
    "Options:\n";

const char kAfterOptions[] =
    "\n"
    "An existing OUTPUT is given the new content: a symbolic link is followed to its\n"
    "file, which keeps its permissions, owner, group and hard links; a file you may\n"
    "not write, one that is not a regular file, and the settings file itself are\n"
    "left alone.\n"
    "On a terminal the progress of the pass is shown on standard error. Errors (an\n"
    "unknown extension, a size the format or the memory cannot take, a settings file\n"
    "that is missing, unreadable or not a settings file, a formula that does not\n"
    "compile, a number the program refuses, an output that cannot be written) are\n"
    "reported on standard error, one line each, as\n"
    "\"lumicurve-render: FILE: what went wrong\", with exit status 1; then no new\n"
    "file is made and an existing one keeps its content.\n";

const char kVersion[] = "lumicurve-render (Lumicurve) " LUMICURVE_VERSION "\n"
                        "Copyright (C) 2026 Lumicurve developers.\n"
                        "License MIT: <https://opensource.org/licenses/MIT>.\n"
                        "This is free software: you are free to change and redistribute it.\n"
                        "There is NO WARRANTY, to the extent permitted by law.\n";

enum class Action { Value, Help, Version };

// One option: a new one is a row here (and a field of RenderRequest for its value).
struct OptionRow {
  const char* name;
  char shortName;        // 0: none
  const char* valueName; // null: takes no value
  const char* help;      // lines after the first indented by the help's layout
  Action action;
  const char* RenderRequest::*value;
};

constexpr OptionRow kOptions[] = {
    {"size", 0, "WIDTHxHEIGHT",
     "the picture's size in pixels (default 1024x768):\n"
     "each side at least 64, 268435456 pixels in all at\n"
     "most, and for PNG each side at most 1000000",
     Action::Value, &RenderRequest::size},
    {"scale", 0, "N",
     "the same picture at N times its size, as a screen\n"
     "scaled by N shows it (N from 1 to 8, such as 2 or\n"
     "1.5): a PNG file of N times the pixels with lines,\n"
     "labels and points drawn at them; a document of the\n"
     "same size as at 1, its lines and points placed N\n"
     "times finer",
     Action::Value, &RenderRequest::scale},
    {"help", 'h', nullptr, "show this help and exit", Action::Help, nullptr},
    {"version", 0, nullptr, "show the version and the licence and exit", Action::Version, nullptr},
};
constexpr int kOptionCount = sizeof kOptions / sizeof kOptions[0];
constexpr int kLongOnly = 256;  // getopt's value of row i is kLongOnly + i
constexpr int kHelpColumn = 27; // two blanks after the longest option

// "  -h, --help     what it does", the lines of what it does under each other.
std::string helpLine(std::string option, const char* help) {
  option.resize(std::max<std::size_t>(option.size() + 2, kHelpColumn), ' ');
  for (const char* p = help; *p != '\0'; ++p) {
    option += *p;
    if (*p == '\n') {
      option += std::string(kHelpColumn, ' ');
    }
  }
  return option + "\n";
}

std::string optionsHelp() {
  std::string text;
  for (const OptionRow& row : kOptions) {
    std::string option = row.shortName != 0 ? std::string("  -") + row.shortName + ", " : "      ";
    option += std::string("--") + row.name;
    if (row.valueName != nullptr) {
      option += std::string("=") + row.valueName;
    }
    text += helpLine(option, row.help);
  }
  return text + helpLine("      --", "end of options: the names after it may begin\nwith \"-\"");
}

[[noreturn]] void finish(const std::string& text) {
  std::fputs(text.c_str(), stdout);
  std::exit(std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1);
}

const std::string kSeeHelp = "; see lumicurve-render --help";

// The rows whose names begin with what was typed between "--" and any "=".
std::string candidates(const char* typed, int& count) {
  const char* end = std::strchr(typed, '=');
  const std::size_t length =
      end != nullptr ? static_cast<std::size_t>(end - typed) : std::strlen(typed);
  std::string names;
  count = 0;
  for (const OptionRow& row : kOptions) {
    if (std::strncmp(row.name, typed, length) == 0) {
      names += std::string(count++ == 0 ? "" : " or ") + "--" + row.name;
    }
  }
  return names;
}

// The option getopt refused (unknown, ambiguous, or given a value it does not take).
[[noreturn]] void refuse(int argc, char** argv, int code) {
  const int index = code - kLongOnly;
  if (index >= 0 && index < kOptionCount) {
    fail(argv[optind - 1], std::string("--") + kOptions[index].name + " takes no value" + kSeeHelp);
  }
  if (code != 0) {
    // A short option: its element is the current one, or the one just left.
    const bool current = optind < argc && argv[optind][0] == '-' && argv[optind][1] == code;
    fail(current ? argv[optind] : argv[optind - 1], "unknown option" + kSeeHelp);
  }
  const char* typed = argv[optind - 1];
  int count = 0;
  const std::string names = candidates(typed + 2, count);
  fail(typed,
       count > 1 ? "ambiguous option; it may be " + names + kSeeHelp : "unknown option" + kSeeHelp);
}

[[noreturn]] void refuseMissingValue(int code) {
  for (int i = 0; i < kOptionCount; ++i) {
    if (code == kLongOnly + i || (kOptions[i].shortName != 0 && code == kOptions[i].shortName)) {
      const std::string name = std::string("--") + kOptions[i].name;
      fail(name.c_str(), std::string("needs a value, ") + kOptions[i].valueName + kSeeHelp);
    }
  }
  fail(nullptr, "an option needs a value" + kSeeHelp);
}

} // namespace

RenderRequest readCommandLine(int argc, char** argv) {
  option longOptions[kOptionCount + 1] = {};
  std::string shortOptions = ":"; // a missing value is told from an unknown option
  for (int i = 0; i < kOptionCount; ++i) {
    const bool takesValue = kOptions[i].valueName != nullptr;
    longOptions[i] = {kOptions[i].name, takesValue ? required_argument : no_argument, nullptr,
                      kLongOnly + i};
    if (kOptions[i].shortName != 0) {
      shortOptions += kOptions[i].shortName;
      shortOptions += takesValue ? ":" : "";
    }
  }
  RenderRequest request;
  opterr = 0;
  int code = 0;
  while ((code = getopt_long(argc, argv, shortOptions.c_str(), longOptions, nullptr)) != -1) {
    if (code == '?') {
      refuse(argc, argv, optopt);
    }
    if (code == ':') {
      refuseMissingValue(optopt);
    }
    const OptionRow* row = nullptr;
    for (int i = 0; i < kOptionCount; ++i) {
      if (code == kLongOnly + i || (kOptions[i].shortName != 0 && code == kOptions[i].shortName)) {
        row = &kOptions[i];
      }
    }
    if (row->action == Action::Help) {
      finish(kUsageLine + std::string(kAbout) + optionsHelp() + kAfterOptions);
    }
    if (row->action == Action::Version) {
      finish(kVersion);
    }
    request.*(row->value) = optarg;
  }
  for (int i = optind; i < argc; ++i) {
    request.names.push_back(argv[i]);
  }
  if (request.names.empty() || request.names.size() > 2) {
    fail(nullptr, "expected [SETTINGS.ini] OUTPUT.png|.svg|.pdf" + kSeeHelp);
  }
  return request;
}
