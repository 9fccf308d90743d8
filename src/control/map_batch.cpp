#include "control/map_batch.h"

#include <utility>

#include "platform/text.h"

namespace kal2map {

MapBatch::MapBatch(Window& window, RunReport& report, std::size_t total)
    : window_(window), report_(report), total_(total) {}

std::error_code MapBatch::Write(const std::filesystem::path& kal, const std::filesystem::path& map,
                                std::string_view contents, std::vector<std::string> warnings) {
  if (!replacer_.Fits(map)) Commit();
  std::error_code ec = replacer_.Add(map, contents);
  if (!ec) held_.push_back({kal, map, {}, std::move(warnings), true});
  // A first conversion makes its calls in the same order as an unbatched one: each new map is
  // in place, and named, before the next file is read.
  if (!replacer_.NeedsFlush()) Commit();
  return ec;
}

void MapBatch::Fail(const std::filesystem::path& map, FileFailure failure) {
  held_.push_back({{}, map, std::move(failure), {}, false});
  if (!replacer_.NeedsFlush()) Commit();
}

void MapBatch::Commit() {
  const FileReplacer::Outcome outcome = replacer_.Commit();
  std::size_t next = 0;
  for (Held& held : held_) {
    if (held.added && outcome.files[next]) held.failure = {held.map, outcome.files[next]};
    next += held.added;
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
  window_.ShowProgress(++done_, total_, held.map);
}

}  // namespace kal2map
