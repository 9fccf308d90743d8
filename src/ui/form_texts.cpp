#include "ui/form_texts.h"

#include "control/run_texts.h"
#include "platform/text.h"

namespace kal2map::ui {

std::string InstructionText() {
  std::string text =
      "i) Diese Routine in das Verzeichnis kopieren, in denen die zu konvertierenden "
      "kal-Dateien stehen und dort starten.";
  text += "\r\r";
  text +=
      "ii) Es werden alle kal-Dateien des Verzeichnisses in map- Dateien konvertiert "
      "(existierende werden \xC3\xBC"
      "berschrieben).";
  text += "\r\r";
  text += "iii) Diese map-Dateien einmal in OziExplorer laden und speichern. Fertig.";
  return text;
}

std::string ExtensionForOption(std::string_view option_text) {
  if (option_text == "<nicht \xC3\xA4ndern>") return {};
  return std::string(option_text);
}

namespace {

// "... und N weitere." once more than kMaxListedFailures entries were to be listed.
std::string MoreText(std::size_t count) {
  if (count <= kMaxListedFailures) return {};
  return "\n\n... und " + std::to_string(count - kMaxListedFailures) + " weitere.";
}

}  // namespace

std::string ReportMessage(const RunReport& report) {
  const std::size_t failures = report.failures.size();
  const std::size_t warnings = report.warnings.size();
  std::string text;
  std::size_t listed = 0;
  if (failures > 0) {
    text = failures == 1
               ? "Eine Datei konnte nicht konvertiert werden:\n"
               : std::to_string(failures) + " Dateien konnten nicht konvertiert werden:\n";
    for (; listed < failures && listed < kMaxListedFailures; ++listed) {
      const FileFailure& failure = report.failures[listed];
      text += "\n" + PathText(failure.path) + ":\n    " + ErrorText(failure.error) + ".";
    }
  }
  if (warnings > 0 && listed < kMaxListedFailures) {
    if (!text.empty()) text += "\n\n";
    text += warnings == 1 ? "Eine Warnung:\n" : std::to_string(warnings) + " Warnungen:\n";
    for (std::size_t i = 0; i < warnings && listed < kMaxListedFailures; ++i, ++listed) {
      const FileWarning& warning = report.warnings[i];
      text += "\n" + WarningLine(warning);
    }
  }
  text += MoreText(failures + warnings);
  if (report.written == 1) {
    text += "\n\n1 map-Datei wurde erstellt.";
  } else if (report.written > 1) {
    text += "\n\n" + std::to_string(report.written) + " map-Dateien wurden erstellt.";
  }
  return text;
}

std::string RefusedMessage(const std::vector<std::filesystem::path>& refused) {
  std::string text = refused.size() == 1
                         ? "Dieser Pfad ist weder Ordner noch kal-Datei und wird nicht "
                           "\xC3\xBC"
                           "bernommen:\n"
                         : "Diese Pfade sind weder Ordner noch kal-Dateien und werden nicht "
                           "\xC3\xBC"
                           "bernommen:\n";
  for (std::size_t i = 0; i < refused.size() && i < kMaxListedFailures; ++i) {
    text += "\n" + PathText(refused[i]);
  }
  return text + MoreText(refused.size());
}

}  // namespace kal2map::ui
