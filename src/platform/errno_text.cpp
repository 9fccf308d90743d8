#include "platform/errno_text.h"

#include <cerrno>

namespace kal2map {

const char* GermanErrnoText(int code) {
  switch (code) {
    case EACCES:
      return "Zugriff verweigert";
    case EPERM:
      return "Vorgang nicht zulässig";
    case ENOENT:
      return "Datei oder Verzeichnis nicht gefunden";
    case ENOTDIR:
      return "Kein Verzeichnis";
    case EISDIR:
      return "Ist ein Verzeichnis";
    case ENOSPC:
      return "Kein Speicherplatz mehr auf dem Datenträger";
#ifdef EDQUOT  // not in the Windows C runtime
    case EDQUOT:
      return "Speicherkontingent überschritten";
#endif
    case EROFS:
      return "Dateisystem ist nur lesbar";
    case EIO:
      return "Ein-/Ausgabefehler";
    case ENAMETOOLONG:
      return "Dateiname zu lang";
    case ELOOP:
      return "Zu viele Ebenen symbolischer Verknüpfungen";
    case EMFILE:
    case ENFILE:
      return "Zu viele offene Dateien";
    case ENOMEM:
      return "Nicht genügend Arbeitsspeicher";
    case EFBIG:
      return "Datei zu groß";
    case EBUSY:
      return "Gerät oder Ressource belegt";
    case ETXTBSY:
      return "Datei wird gerade benutzt";
    case EEXIST:
      return "Datei existiert bereits";
    case EXDEV:
      return "Verschieben zwischen Dateisystemen nicht möglich";
    default:
      return nullptr;
  }
}

}  // namespace kal2map
