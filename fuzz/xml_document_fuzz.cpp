// Load + parse + navigate arbitrary bytes; whatever parses must write out
// text that parses again.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "store/xml_document.h"

using brumkey::XmlDocument;

namespace {

void Walk(XmlDocument& x, int depth) {
  static const wchar_t* kNames[] = {L"config", L"item", L"a", L"keyboard", L"mode", L"profile"};
  // Visit every element by name-agnostic order is impossible with the
  // cursor API, so try the names callers use.
  for (const wchar_t* name : kNames) {
    while (x.FindElem(name)) {
      (void)x.GetAttrib(L"name");
      (void)x.GetAttrib(L"value");
      (void)x.GetTagName();
      if (depth < 64 && x.IntoElem()) {
        Walk(x, depth + 1);
        x.OutOfElem();
      }
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  XmlDocument x;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  if (!x.LoadBytes(bytes) || !x.Parse()) return 0;
  Walk(x, 0);
  if (x.IntoElem() && x.AddElem(L"added")) x.SetAttrib(L"v", std::wstring(bytes.begin(), bytes.begin() + std::min<size_t>(size, 64)));
  const std::wstring out = x.GetDoc();
  XmlDocument again;
  if (!again.SetDoc(out)) std::abort();
  if (again.GetDoc() != out) std::abort();
  return 0;
}
