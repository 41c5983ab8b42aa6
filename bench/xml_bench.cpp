// Parse and walk a layout-sized document through XmlDocument, against pugixml
// parsing and walking the same bytes directly.
#include <benchmark/benchmark.h>
#include <pugixml.hpp>

#include <string>

#include "store/xml_document.h"
#include "util/text.h"

namespace {

// About the size of a full-size keyboard's layout file.
const std::string& LayoutText() {
  static const std::string text = [] {
    std::string s = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<layout device_info=\"K201\">\r\n";
    s += "<page keys=\"1\" macro=\"1\" light=\"1\"/>\r\n<light_modes>\r\n";
    for (int i = 0; i < 20; ++i)
      s += "<mode value=\"" + std::to_string(i) + "\" name=\"" + std::to_string(400 + i) +
           "\" attribute=\"255\"/>\r\n";
    s += "</light_modes>\r\n<keys>\r\n";
    for (int i = 0; i < 108; ++i)
      s += "<key key_code=\"0x" + std::to_string(4 + i) + "\" key_index=\"" + std::to_string(i) +
           "\" name=\"Key &amp; " + std::to_string(i) + "\" desc=\"K" + std::to_string(i) +
           "\" row_col=\"" + std::to_string(i / 21) + "," + std::to_string(i % 21) + "\" rect=\"" +
           std::to_string(i * 40 % 860) + "," + std::to_string(i / 21 * 45) + ",38,42\"/>\r\n";
    return s + "</keys>\r\n</layout>\r\n";
  }();
  return text;
}

void BM_XmlDocumentParseAndWalk(benchmark::State& state) {
  const std::string& text = LayoutText();
  for (auto _ : state) {
    brumkey::XmlDocument x;
    x.LoadBytes(text);
    x.Parse();
    size_t total = 0;
    x.FindElem(L"layout");
    x.IntoElem();
    x.FindElem(L"keys");
    x.IntoElem();
    while (x.FindElem(L"key")) {
      total += x.GetAttrib(L"key_code").size() + x.GetAttrib(L"name").size() +
               x.GetAttrib(L"row_col").size() + x.GetAttrib(L"rect").size();
    }
    benchmark::DoNotOptimize(total);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_XmlDocumentParseAndWalk);

// Baseline: pugixml alone, with the widening our callers need anyway.
void BM_PugixmlParseAndWalk(benchmark::State& state) {
  const std::string& text = LayoutText();
  for (auto _ : state) {
    pugi::xml_document doc;
    doc.load_buffer(text.data(), text.size());
    size_t total = 0;
    for (auto key : doc.child("layout").child("keys").children("key")) {
      total += brumkey::Utf8ToWide(key.attribute("key_code").value()).size() +
               brumkey::Utf8ToWide(key.attribute("name").value()).size() +
               brumkey::Utf8ToWide(key.attribute("row_col").value()).size() +
               brumkey::Utf8ToWide(key.attribute("rect").value()).size();
    }
    benchmark::DoNotOptimize(total);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_PugixmlParseAndWalk);

}  // namespace

BENCHMARK_MAIN();
