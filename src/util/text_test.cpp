#include "util/text.h"

#include <gtest/gtest.h>

namespace kal2map {
namespace {

TEST(Windows1252, ToUtf8AndLowerCase) {
  struct Case {
    std::string ansi, utf8, lower;
  };
  const Case cases[] = {
      {"a\xE4\x80\x9F\x81", "a\xC3\xA4\xE2\x82\xAC\xC5\xB8\xEF\xBF\xBD", "a\xE4\x80\xFF\x81"},
      // The capitals beyond Latin-1 fold to their small letters in the code page; × and ß stay.
      {"\x8A\x8C\x8E\xD7\xDF\xC4Z", "\xC5\xA0\xC5\x92\xC5\xBD\xC3\x97\xC3\x9F\xC3\x84Z",
       "\x9A\x9C\x9E\xD7\xDF\xE4z"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Utf8FromAnsi(c.ansi), c.utf8);
    EXPECT_EQ(LowerAnsi(c.ansi), c.lower);
  }
}

// Well-formed UTF-8 stays; any other byte, an overlong form or a surrogate's included, is read as
// Windows-1252.
TEST(Windows1252, Utf8KeptOtherBytesRead) {
  const std::pair<std::string, std::string> cases[] = {
      {"G\xC3\xBCstrow \xF0\x9F\x97\xBA", "G\xC3\xBCstrow \xF0\x9F\x97\xBA"},
      {"G\xFCstrow\x80", "G\xC3\xBCstrow\xE2\x82\xAC"},
      {"\xC0\xAF\xED\xA0\x80\xC3", "\xC3\x80\xC2\xAF\xC3\xAD\xC2\xA0\xE2\x82\xAC\xC3\x83"},
  };
  for (const auto& [bytes, utf8] : cases) EXPECT_EQ(Utf8FromUtf8OrAnsi(bytes), utf8);
}

}  // namespace
}  // namespace kal2map
