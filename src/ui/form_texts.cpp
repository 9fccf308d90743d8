#include "ui/form_texts.h"

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

std::string FailureMessage(const RunReport& report) {
  const std::size_t count = report.failures.size();
  std::string text = count == 1
                         ? "Eine Datei konnte nicht konvertiert werden:\n"
                         : std::to_string(count) + " Dateien konnten nicht konvertiert werden:\n";
  for (std::size_t i = 0; i < count && i < kMaxListedFailures; ++i) {
    const FileFailure& failure = report.failures[i];
    text += "\n" + PathText(failure.path) + ":\n    " + ErrorText(failure.error) + ".";
  }
  if (count > kMaxListedFailures) {
    text += "\n\n... und " + std::to_string(count - kMaxListedFailures) + " weitere.";
  }
  if (report.written == 1) {
    text += "\n\n1 map-Datei wurde erstellt.";
  } else if (report.written > 1) {
    text += "\n\n" + std::to_string(report.written) + " map-Dateien wurden erstellt.";
  }
  return text;
}

}  // namespace kal2map::ui
