// The renderer's command line and its one-line messages.

#include "../write_cases.h"
#include "render_fixture.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const std::string kSeeHelp = "; see lumicurve-render --help\n";

TEST_F(Render, OptionsAsGnuToolsTakeThem) {
  const std::string out = path("out.png");
  struct Case {
    std::string args;
    int status;
    std::string err;      // the whole of standard error
    const char* outStart; // of standard output
  } cases[] = {
      {"--help", 0, "", "Usage: lumicurve-render [OPTION]... [SETTINGS.ini] OUTPUT.png"},
      {"-h", 0, "", "Usage: lumicurve-render"},
      {"--he", 0, "", "Usage: lumicurve-render"},
      {"--help --frobnicate", 0, "", "Usage: lumicurve-render"},
      {"--vers", 0, "", "lumicurve-render (Lumicurve) " LUMICURVE_VERSION "\n"},
      {"--size", 1, "lumicurve-render: --size: needs a value, WIDTHxHEIGHT" + kSeeHelp, ""},
      {out + " --size", 1, "lumicurve-render: --size: needs a value, WIDTHxHEIGHT" + kSeeHelp, ""},
      {"--si=64x64 " + out, 0, "", ""},
      {"--si 64x64 " + out, 0, "", ""},
      {out + " --size 64x64", 0, "", ""},
      {"--size= " + out, 1, "lumicurve-render: '': not a picture size", ""},
      {"--help=3", 1, "lumicurve-render: --help=3: --help takes no value" + kSeeHelp, ""},
      {"--=x " + out, 1,
       "lumicurve-render: --=x: ambiguous option; it may be --size or --scale or --help or "
       "--version" +
           kSeeHelp,
       ""},
      {"--s 2 " + out, 1,
       "lumicurve-render: --s: ambiguous option; it may be --size or --scale" + kSeeHelp, ""},
      {"--sc 2 " + out, 0, "", ""},
      {"-size 64x64 " + out, 1, "lumicurve-render: -size: unknown option" + kSeeHelp, ""},
      {"-x " + out, 1, "lumicurve-render: -x: unknown option" + kSeeHelp, ""},
      {"--frobnicate=1 " + out, 1, "lumicurve-render: --frobnicate=1: unknown option" + kSeeHelp,
       ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    const Outcome r = run(c.args);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.err.substr(0, c.err.size()), c.err);
    EXPECT_EQ(r.err.empty(), c.err.empty()) << r.err;
    EXPECT_EQ(r.out.rfind(c.outStart, 0), 0u) << r.out;
    fs::remove(out);
  }
}

TEST_F(Render, HelpAndVersionSayWhatTheyShould) {
  const std::string help = run("--help").out;
  for (const char* words : {"SETTINGS.ini", "  -h, --help ", "      --size=WIDTHxHEIGHT  ",
                            "      --version  ", "      --  "}) {
    EXPECT_NE(help.find(words), std::string::npos) << words;
  }
  std::size_t longest = 0;
  for (std::size_t start = 0, end = 0; end != std::string::npos; start = end + 1) {
    end = help.find('\n', start);
    longest = std::max(longest, (end == std::string::npos ? help.size() : end) - start);
  }
  EXPECT_LE(longest, 80u);
  const std::string version = run("--version").out;
  EXPECT_EQ(version.rfind("lumicurve-render (Lumicurve) " LUMICURVE_VERSION "\n", 0), 0u);
  EXPECT_NE(version.find("\nLicense MIT"), std::string::npos) << version;
}

TEST_F(Render, MessagesAreOneLineNamingTheFileAndTheTextAsTyped) {
  const std::string out = path("out.png");
  const std::string lexeme = settings("lexeme.ini", {{20, "2*sinx"}});
  const std::string blank = settings("blank.ini", {{12, "5 "}});
  const std::string range = settings("range.ini", {{5, "8"}, {6, "2"}});
  const std::string small = settings("small.ini", {{15, "1e-9"}});
  const std::pair<std::string, std::string> cases[] = {
      {lexeme + " " + out, lexeme + ": не верна лексема с  \\-с места : 2 до 6 :   sinx"},
      {blank + " " + out, blank + ": не верно записано число b : \"5 \""},
      {range + " " + out, range + ": начало не меньше конца X(ot,to) : \"8\" ; \"2\""},
      {small + " " + out, small + ": не верно записано число Accuracy : \"1e-9\""},
      {"'' " + out, "'': No such file or directory"},
      {"'' ''", "'': cannot tell the format from the name; it must end in .png, .svg or .pdf"},
      {"\"" + path("missing/a") + "$(printf '\\nb.png')\"",
       "$'" + path("missing/a") + "\\nb.png': No such file or directory; nothing was written"},
  };
  for (const auto& [args, message] : cases) {
    SCOPED_TRACE(args);
    const Outcome r = run(args);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "lumicurve-render: " + message + "\n");
    EXPECT_FALSE(fs::exists(out));
  }
}

TEST_F(Render, RefusesBeforeDrawingWhatTheFormatOrTheMemoryCannotTake) {
  const std::string png = path("big.png");
  const std::string svg = path("big.svg");
  struct Case {
    std::string args;
    std::string err; // empty: written
  } cases[] = {
      {"--size 1000001x64 " + png,
       png + ": a PNG picture has at most 1000000 pixels on a side, not 1000001x64"},
      {"--size 64x1000001 " + png,
       png + ": a PNG picture has at most 1000000 pixels on a side, not 64x1000001"},
      {"--size 1000000x64 " + png, ""},
      {"--size 1000001x64 " + svg, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    const Outcome r = run(c.args);
    EXPECT_EQ(r.status, c.err.empty() ? 0 : 1);
    EXPECT_EQ(r.err, c.err.empty() ? "" : "lumicurve-render: " + c.err + "; nothing was written\n");
    fs::remove(png);
    fs::remove(svg);
  }
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "the sanitizers reserve more address space than the limit leaves";
#else
  // A gigabyte's picture in 800 MB of address space: refused at once, not after the pass.
  const Outcome r = run("--size 16384x16384 " + png, "prlimit --as=800000000 ");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "lumicurve-render: " + png +
                       ": not enough memory for a picture of 16384x16384 pixels (1024 MiB); "
                       "nothing was written\n");
  EXPECT_FALSE(fs::exists(png));
#endif
}

TEST_F(Render, AnOutputThatIsTheSettingsFileIsRefused) {
  // The settings file under its own name, through a symbolic link and a hard link.
  for (const char how : {'f', 's', 'h'}) {
    SCOPED_TRACE(how);
    const std::string file = settings("plot.svg", {});
    const std::string before = fileBytes(file);
    const std::string output = how == 'f' ? file : path("other.svg");
    fs::remove(path("other.svg"));
    if (how == 's') {
      fs::create_symlink("plot.svg", output);
    } else if (how == 'h') {
      fs::create_hard_link(file, output);
    }
    const Outcome r = run(file + " " + output);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "lumicurve-render: " + output +
                         ": is the settings file being read; nothing was "
                         "written\n");
    EXPECT_EQ(fileBytes(file), before);
  }
}

} // namespace
