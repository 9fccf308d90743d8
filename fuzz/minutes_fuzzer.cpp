// Arbitrary digits after a decimal point: the minutes text must always be a plain number that
// a map reader can take, one blank in front, between 0 and 60.
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "calibration/point_fields.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string minutes =
      kal2map::FractionToMinutes(std::string_view(reinterpret_cast<const char*>(data), size));
  FUZZ_CHECK(minutes.size() >= 2 && minutes[0] == ' ');
  const std::string_view number = std::string_view(minutes).substr(1);

  // Digits with at most one point, which has digits on both sides; no exponent, no sign.
  const std::size_t point = number.find('.');
  FUZZ_CHECK(number.find_first_not_of("0123456789.") == std::string_view::npos);
  FUZZ_CHECK(point == std::string_view::npos ||
             number.find('.', point + 1) == std::string_view::npos);
  FUZZ_CHECK(point != 0 && point + 1 != number.size());
  if (point != std::string_view::npos) FUZZ_CHECK(number.back() != '0');

  std::size_t significant = 0;
  const std::size_t first = number.find_first_not_of("0.");
  if (first != std::string_view::npos) {
    for (char c : number.substr(first)) significant += c != '.';
    // Trailing zeros of a whole number are placeholders, not digits of precision.
    if (point == std::string_view::npos) {
      significant -= number.size() - 1 - number.find_last_not_of('0');
    }
  }
  FUZZ_CHECK(significant <= 15);

  double value = -1;
  const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), value);
  FUZZ_CHECK(ec == std::errc() && end == number.data() + number.size());
  FUZZ_CHECK(value >= 0 && value <= 60);
  return 0;
}
