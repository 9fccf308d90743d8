#include "control/map_batch.h"

#include <utility>

#include "platform/text.h"

namespace kal2map {

MapBatch::MapBatch(Window& window, RunReport& report, std::size_t total)
    : window_(window), report_(report), total_(total) {}

std::error_code MapBatch::Write(const std::filesystem::path& kal, const std::filesystem::path& map,
                                std::string_view contents, std::vector<std::string> warnings,
                                std::optional<KmzFile> kmz) {
  if (!replacer_.Fits(map, kmz ? 2 : 1)) Commit();
  std::error_code ec = replacer_.Add(map, contents);
  if (ec) return ec;
  Held& held = held_.emplace_back();
  held.kal = kal;
  held.map = map;
  held.warnings = std::move(warnings);
  held.added = true;
  if (kmz) {
    if (const std::error_code kmz_ec = replacer_.Add(kmz->path, kmz->bytes)) {
      held.kmz_failure = {kmz->path, kmz_ec};
    } else {
      held.kmz = std::move(kmz->path);
      held.kmz_tiles = kmz->tiles;
    }
  }
  // A first conversion makes its calls in the same order as an unbatched one: each new map is
  // in place, and named, before the next file is read.
  if (!replacer_.NeedsFlush()) Commit();
  return ec;
}

void MapBatch::Fail(const std::filesystem::path& map, FileFailure failure) {
  Held& held = held_.emplace_back();
  held.map = map;
  held.failure = std::move(failure);
  if (!replacer_.NeedsFlush()) Commit();
}

void MapBatch::Commit() {
  const FileReplacer::Outcome outcome = replacer_.Commit();
  std::size_t next = 0;
  for (Held& held : held_) {
    if (held.added && outcome.files[next]) held.failure = {held.map, outcome.files[next]};
    next += held.added;
    if (!held.kmz.empty() && outcome.files[next++]) {
      held.kmz_failure = {held.kmz, outcome.files[next - 1]};
    }
    Report(held);
  }
  held_.clear();
  if (outcome.folder_error) report_.failures.push_back({outcome.folder, outcome.folder_error});
}

void MapBatch::Report(Held& held) {
  if (held.failure.error) {
    report_.failures.push_back(std::move(held.failure));
  } else {
    ++report_.written;
    // A map that was not written needs no warnings about its contents.
    for (auto& text : held.warnings) report_.warnings.push_back({held.kal, std::move(text)});
    window_.SetMessageLine(PathText(held.map) + " wurde erstellt.");
  }
  if (held.kmz_failure.error) {
    report_.failures.push_back(std::move(held.kmz_failure));
  } else if (!held.kmz.empty()) {
    report_.kmz_tiles += held.kmz_tiles;
  }
  window_.ShowProgress(++done_, total_, held.map);
}

}  // namespace kal2map
