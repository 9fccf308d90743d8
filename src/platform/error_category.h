// The category of failures the program detects itself, beside those the system reports: one
// class for every such enum, each category a name and the German text of each code.
#pragma once

#include <string>
#include <system_error>

namespace kal2map {

class TextCategory final : public std::error_category {
 public:
  using Text = std::string (*)(int code);
  // Maps a code to the code of the condition it stands for; null where each code is its own.
  using Condition = int (*)(int code);

  TextCategory(const char* name, Text text, Condition condition = nullptr)
      : name_(name), text_(text), condition_(condition) {}

  const char* name() const noexcept override { return name_; }
  std::string message(int code) const override { return text_(code); }
  std::error_condition default_error_condition(int code) const noexcept override {
    return {condition_ != nullptr ? condition_(code) : code, *this};
  }

 private:
  const char* name_;
  Text text_;
  Condition condition_;
};

}  // namespace kal2map
