#include <cerrno>
#include <cstring>

#include "platform/text.h"

namespace kal2map {
namespace {

// The system's own texts follow the locale, which is English on most servers; users of this
// tool read German.
const char* GermanErrnoText(int code) {
  switch (code) {
    case EACCES: return "Zugriff verweigert";
    case EPERM: return "Vorgang nicht zulässig";
    case ENOENT: return "Datei oder Verzeichnis nicht gefunden";
    case ENOTDIR: return "Kein Verzeichnis";
    case EISDIR: return "Ist ein Verzeichnis";
    case ENOSPC: return "Kein Speicherplatz mehr auf dem Datenträger";
    case EDQUOT: return "Speicherkontingent überschritten";
    case EROFS: return "Dateisystem ist nur lesbar";
    case EIO: return "Ein-/Ausgabefehler";
    case ENAMETOOLONG: return "Dateiname zu lang";
    case ELOOP: return "Zu viele Ebenen symbolischer Verknüpfungen";
    case EMFILE:
    case ENFILE: return "Zu viele offene Dateien";
    case ENOMEM: return "Nicht genügend Arbeitsspeicher";
    case EFBIG: return "Datei zu groß";
    case EBUSY: return "Gerät oder Ressource belegt";
    case ETXTBSY: return "Datei wird gerade benutzt";
    case EEXIST: return "Datei existiert bereits";
    case EXDEV: return "Verschieben zwischen Dateisystemen nicht möglich";
    default: return nullptr;
  }
}

}  // namespace

std::string PathText(const std::filesystem::path& path) { return path.string(); }

std::string ErrorText(const std::error_code& ec) {
  if (ec.category() == std::generic_category() || ec.category() == std::system_category()) {
    if (const char* text = GermanErrnoText(ec.value())) return text;
    return std::strerror(ec.value());
  }
  return ec.message();
}

void PrintLine(std::FILE* stream, std::string_view utf8) {
  std::fwrite(utf8.data(), 1, utf8.size(), stream);
  std::fputc('\n', stream);
}

}  // namespace kal2map
