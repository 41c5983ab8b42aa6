#pragma once
// A small streaming JSON writer for --json output: commas and escaping are
// handled here, nesting is the caller's.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace brumkey::cli {

class JsonWriter {
 public:
  JsonWriter& BeginObject();
  JsonWriter& EndObject();
  JsonWriter& BeginArray();
  JsonWriter& EndArray();
  // Inside an object: the next value's name.
  JsonWriter& Key(std::string_view name);
  JsonWriter& String(std::string_view utf8);
  JsonWriter& String(std::wstring_view text);
  JsonWriter& Int(int64_t value);
  JsonWriter& Bool(bool value);
  JsonWriter& Null();

  const std::string& Text() const { return text_; }

 private:
  void BeforeValue();
  std::string text_;
  std::vector<bool> first_;  // per open container: no element written yet
  bool afterKey_ = false;
};

}  // namespace brumkey::cli
