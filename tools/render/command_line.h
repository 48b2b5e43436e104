#pragma once
// lumicurve-render's command line, read with getopt_long as GNU tools read
// theirs: long options and their unambiguous abbreviations, "--name=value" or
// "--name value", options anywhere before "--", and the help and version texts.

#include <vector>

// What the command line asks for. The values are kept as given and checked by
// the caller, after the names, in the order the help lists them.
struct RenderRequest {
  std::vector<const char*> names; // [SETTINGS.ini] OUTPUT
  const char* size = nullptr;     // --size WIDTHxHEIGHT
  const char* scale = nullptr;    // --scale N
};

// Reads argv. --help and --version print their texts on standard output and end
// the tool with status 0; an unknown or ambiguous option, an option without its
// value or one given a value it does not take, and anything but one or two
// names, end it with a message and status 1.
RenderRequest readCommandLine(int argc, char** argv);
