#include "ui/form_texts.h"

#include <gtest/gtest.h>

#include "platform/text.h"

namespace kal2map::ui {
namespace {

TEST(FormTexts, InstructionsAreThreeStepsSeparatedByTwoCarriageReturns) {
  const std::string text = InstructionText();
  EXPECT_EQ(text.find('\n'), std::string::npos);
  const std::size_t first = text.find("\r\r");
  const std::size_t second = text.find("\r\r", first + 2);
  ASSERT_NE(second, std::string::npos);
  EXPECT_EQ(text.find('\r', second + 2), std::string::npos);
  EXPECT_EQ(text.substr(0, 3), "i) ");
  EXPECT_EQ(text.substr(first + 2, 4), "ii) ");
  EXPECT_EQ(text.substr(second + 2, 5), "iii) ");
  EXPECT_EQ(text.substr(text.size() - 7), "Fertig.");
}

TEST(FormTexts, OptionTextBecomesTheImageExtension) {
  const std::pair<const char*, const char*> cases[] = {
      {"<nicht \xC3\xA4ndern>", ""}, {".jpg", ".jpg"}, {".png", ".png"}, {".bmp", ".bmp"}};
  for (const auto& [option, ext] : cases) EXPECT_EQ(ExtensionForOption(option), ext) << option;
}

FileFailure Failure(const char* name) {
  return {name, std::make_error_code(std::errc::permission_denied)};
}

TEST(FormTexts, ReportNamesEachFailedFileWithItsReason) {
  RunReport report;
  report.found = 3;
  report.written = 1;
  report.failures = {Failure("C:/a.map"), Failure("C:/b.kal")};
  const std::string reason = ErrorText(report.failures[0].error);
  EXPECT_EQ(ReportMessage(report),
            "2 Dateien konnten nicht konvertiert werden:\n"
            "\nC:/a.map:\n    " +
                reason + ".\nC:/b.kal:\n    " + reason + "." + "\n\n1 map-Datei wurde erstellt.");
}

TEST(FormTexts, ReportStaysShortForManyFailuresAndWarnings) {
  constexpr std::size_t kMax = kMaxListedFailures;
  struct Case {
    std::size_t failures, warnings, written;
    std::size_t listed_failures, listed_warnings;
    const char* ending;
  };
  const Case cases[] = {
      {1, 0, 0, 1, 0, "."},
      {kMax, 0, 2, kMax, 0, "2 map-Dateien wurden erstellt."},
      {kMax + 5, 0, 0, kMax, 0, "... und 5 weitere."},
      {0, 1, 1, 0, 1, "1 map-Datei wurde erstellt."},
      {2, 3, 0, 2, 3, "(Tippfehler?)"},
      {kMax - 1, 4, 0, kMax - 1, 1, "... und 3 weitere."},
      {kMax, 4, 0, kMax, 0, "... und 4 weitere."},
      {0, kMax + 1, 0, 0, kMax, "... und 1 weitere."},
  };
  for (const auto& c : cases) {
    RunReport report;
    report.written = c.written;
    report.failures.assign(c.failures, Failure("x.kal"));
    report.warnings.assign(c.warnings, {"w.kal", "Punkt 3 liegt 412 Pixel daneben (Tippfehler?)"});
    const std::string text = ReportMessage(report);
    auto count = [&](const std::string& what) {
      std::size_t n = 0;
      for (std::size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) ++n;
      return n;
    };
    EXPECT_EQ(count("x.kal:\n"), c.listed_failures) << text;
    EXPECT_EQ(count("w.kal: Punkt 3"), c.listed_warnings) << text;
    EXPECT_EQ(count("Warnung"), c.listed_warnings > 0 ? 1u : 0u) << text;
    // Failures come before every warning.
    if (c.listed_failures > 0 && c.listed_warnings > 0) {
      EXPECT_LT(text.rfind("x.kal:"), text.find("w.kal:")) << text;
    }
    EXPECT_TRUE(text.ends_with(c.ending)) << text;
  }
}

TEST(FormTexts, RefusedPathsAreNamedAtMostFifteenTimes) {
  EXPECT_EQ(RefusedMessage({"C:/a.txt"}),
            "Dieser Pfad ist weder Ordner noch kal-Datei und wird nicht \xC3\xBC"
            "bernommen:\n\nC:/a.txt");
  const std::vector<std::filesystem::path> many(kMaxListedFailures + 2, "b.txt");
  const std::string text = RefusedMessage(many);
  EXPECT_TRUE(text.starts_with("Diese Pfade sind weder Ordner noch kal-Dateien")) << text;
  EXPECT_TRUE(text.ends_with("\nb.txt\n\n... und 2 weitere.")) << text;
}

}  // namespace
}  // namespace kal2map::ui
