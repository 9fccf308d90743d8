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

TEST(FormTexts, FailureMessageNamesEachFileWithItsReason) {
  RunReport report;
  report.found = 3;
  report.written = 1;
  report.failures = {Failure("C:/a.map"), Failure("C:/b.kal")};
  const std::string reason = ErrorText(report.failures[0].error);
  EXPECT_EQ(FailureMessage(report),
            "2 Dateien konnten nicht konvertiert werden:\n"
            "\nC:/a.map:\n    " +
                reason + ".\nC:/b.kal:\n    " + reason + "." + "\n\n1 map-Datei wurde erstellt.");
}

TEST(FormTexts, FailureMessageStaysShortForManyFailures) {
  struct Case {
    std::size_t failures, written;
    std::size_t listed;
    const char* ending;
  };
  const Case cases[] = {
      {1, 0, 1, "."},
      {kMaxListedFailures, 2, kMaxListedFailures, "2 map-Dateien wurden erstellt."},
      {kMaxListedFailures + 5, 0, kMaxListedFailures, "... und 5 weitere."},
  };
  for (const auto& c : cases) {
    RunReport report;
    report.written = c.written;
    report.failures.assign(c.failures, Failure("x.kal"));
    const std::string text = FailureMessage(report);
    std::size_t listed = 0;
    for (std::size_t p = text.find("x.kal:"); p != std::string::npos;
         p = text.find("x.kal:", p + 1)) {
      ++listed;
    }
    EXPECT_EQ(listed, c.listed) << c.failures;
    EXPECT_TRUE(text.ends_with(c.ending)) << text;
  }
}

}  // namespace
}  // namespace kal2map::ui
