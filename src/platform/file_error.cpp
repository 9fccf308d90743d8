#include "platform/files.h"

namespace kal2map {
namespace {

class Category : public std::error_category {
 public:
  const char* name() const noexcept override { return "kal2map"; }
  std::string message(int code) const override {
    switch (static_cast<FileError>(code)) {
      case FileError::kWriteProtected:
        return "Datei ist schreibgeschützt";
      case FileError::kNotRegularFile:
        return "Keine gewöhnliche Datei";
    }
    return "Unbekannter Fehler";
  }
};

}  // namespace

const std::error_category& FileErrorCategory() {
  static const Category category;
  return category;
}

std::error_code MakeError(FileError e) { return {static_cast<int>(e), FileErrorCategory()}; }

}  // namespace kal2map
