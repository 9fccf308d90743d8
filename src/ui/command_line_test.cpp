#include "ui/command_line.h"

#include <gtest/gtest.h>

namespace kal2map::ui {
namespace {

TEST(CommandLine, QuotesGroupAndBackslashesStay) {
  struct Case {
    const wchar_t* line;
    std::vector<std::wstring> args;
  };
  const Case cases[] = {
      {L"\"C:\\Program Files\\kal2map.exe\"", {}},
      {L"kal2map.exe", {}},
      {L"kal2map.exe C:\\Karten", {L"C:\\Karten"}},
      {L"kal2map.exe  \t C:\\a.kal\t C:\\b ", {L"C:\\a.kal", L"C:\\b"}},
      {L"\"C:\\p q\\kal2map.exe\" \"C:\\Meine Karten\" D:\\x.kal",
       {L"C:\\Meine Karten", L"D:\\x.kal"}},
      // A drive root and a folder with its separator keep the arguments after them.
      {L"kal2map.exe \"D:\\\" \"C:\\Meine Karten\\\" C:\\x.kal",
       {L"D:\\", L"C:\\Meine Karten\\", L"C:\\x.kal"}},
      {L"kal2map.exe \"\" \"C:\\a\"b", {L"", L"C:\\ab"}},
  };
  for (const Case& c : cases) EXPECT_EQ(SplitCommandLine(c.line), c.args) << c.line;
}

}  // namespace
}  // namespace kal2map::ui
