#include "platform/error_category.h"
#include "platform/files.h"

namespace kal2map {
namespace {

std::string Text(int code) {
  switch (static_cast<FileError>(code)) {
    case FileError::kWriteProtected:
      return "Datei ist schreibgeschützt";
    case FileError::kNotRegularFile:
      return "Keine gewöhnliche Datei";
  }
  return "Unbekannter Fehler";
}

}  // namespace

const std::error_category& FileErrorCategory() {
  static const TextCategory category("kal2map", Text);
  return category;
}

std::error_code MakeError(FileError e) { return {static_cast<int>(e), FileErrorCategory()}; }

}  // namespace kal2map
