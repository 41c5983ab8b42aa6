#include "store/xml_document.h"

#include <pugixml.hpp>

#include <algorithm>
#include <cstring>
#include <vector>

#include "util/path.h"
#include "util/text.h"

namespace brumkey {
namespace {

// Exchange files come from other machines; nothing we read is this large.
constexpr size_t kMaxFileBytes = 64u << 20;

// Windows-1252 for 0x80-0x9F; the rest of the "ANSI" page is Latin-1.
constexpr char32_t kCp1252High[32] = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD,
    0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};

enum class Encoding { Utf8, Utf16Le, Utf16Be, Ansi };

bool IsXmlChar(char32_t c) {
  return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
         (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

bool IsNameChar(wchar_t c, bool first) {
  if ((c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') || c == L'_' || c == L':' || c > 0x7F)
    return true;
  return !first && ((c >= L'0' && c <= L'9') || c == L'-' || c == L'.');
}

bool IsValidName(const std::wstring& name) {
  if (name.empty()) return false;
  for (size_t i = 0; i < name.size(); ++i)
    if (!IsNameChar(name[i], i == 0) || !IsXmlChar(static_cast<char32_t>(name[i]))) return false;
  return true;
}

// The encoding named by an XML declaration at the start of decoded-as-ASCII
// bytes, lower-cased; empty when there is none.
std::string DeclaredEncoding(std::string_view head) {
  head = head.substr(0, 512);
  if (head.substr(0, 5) != "<?xml") return {};
  const size_t end = head.find("?>");
  const std::string_view decl = head.substr(0, end);
  const size_t at = decl.find("encoding");
  if (at == std::string_view::npos) return {};
  size_t i = at + 8;
  while (i < decl.size() && (decl[i] == ' ' || decl[i] == '=' || decl[i] == '\t')) ++i;
  if (i >= decl.size() || (decl[i] != '"' && decl[i] != '\'')) return {};
  const char q = decl[i++];
  const size_t close = decl.find(q, i);
  if (close == std::string_view::npos) return {};
  std::string enc(decl.substr(i, close - i));
  for (auto& c : enc) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return enc;
}

Encoding EncodingByName(const std::string& enc) {
  if (enc == "utf-16" || enc == "utf-16le" || enc == "ucs-2") return Encoding::Utf16Le;
  if (enc == "utf-16be") return Encoding::Utf16Be;
  if (enc.empty() || enc == "utf-8" || enc == "utf8") return Encoding::Utf8;
  return Encoding::Ansi;
}

std::wstring DecodeUtf16(std::string_view b, bool bigEndian) {
  std::wstring out;
  out.reserve(b.size() / 2);
  const size_t units = b.size() / 2;
  auto unit = [&](size_t k) -> char32_t {
    const auto lo = static_cast<unsigned char>(b[2 * k + (bigEndian ? 1 : 0)]);
    const auto hi = static_cast<unsigned char>(b[2 * k + (bigEndian ? 0 : 1)]);
    return static_cast<char32_t>(lo | (hi << 8));
  };
  for (size_t k = 0; k < units; ++k) {
    char32_t u = unit(k);
    if (u >= 0xD800 && u <= 0xDBFF && k + 1 < units) {
      const char32_t v = unit(k + 1);
      if (v >= 0xDC00 && v <= 0xDFFF) {
        out.push_back(static_cast<wchar_t>(0x10000 + ((u - 0xD800) << 10) + (v - 0xDC00)));
        ++k;
        continue;
      }
    }
    if (u >= 0xD800 && u <= 0xDFFF) u = 0xFFFD;
    out.push_back(static_cast<wchar_t>(u));
  }
  return out;
}

std::wstring DecodeAnsi(std::string_view b) {
  std::wstring out;
  out.reserve(b.size());
  for (char ch : b) {
    const auto c = static_cast<unsigned char>(ch);
    out.push_back(static_cast<wchar_t>(c >= 0x80 && c < 0xA0 ? kCp1252High[c - 0x80] : c));
  }
  return out;
}

std::string EncodeUtf16Le(std::wstring_view w) {
  std::string out;
  out.reserve(w.size() * 2);
  auto put = [&](char32_t u) {
    out.push_back(static_cast<char>(u & 0xFF));
    out.push_back(static_cast<char>((u >> 8) & 0xFF));
  };
  for (wchar_t wc : w) {
    auto c = static_cast<char32_t>(wc);
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;
    if (c >= 0x10000) {
      c -= 0x10000;
      put(0xD800 + (c >> 10));
      put(0xDC00 + (c & 0x3FF));
    } else {
      put(c);
    }
  }
  return out;
}

std::string EncodeAnsi(std::wstring_view w, bool& loss) {
  std::string out;
  out.reserve(w.size());
  for (wchar_t wc : w) {
    const auto c = static_cast<char32_t>(wc);
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
      out.push_back(static_cast<char>(c));
      continue;
    }
    const auto* hit = std::find(std::begin(kCp1252High), std::end(kCp1252High), c);
    if (c != 0xFFFD && hit != std::end(kCp1252High)) {
      out.push_back(static_cast<char>(0x80 + (hit - std::begin(kCp1252High))));
    } else {
      out.push_back('?');
      loss = true;
    }
  }
  return out;
}

// Attribute text as it stands in the file: markup characters and the
// whitespace a reader would normalise become references, characters XML
// forbids are replaced.
std::string EscapeAttribute(std::wstring_view value) {
  std::wstring out;
  out.reserve(value.size() + 8);
  for (wchar_t wc : value) {
    switch (wc) {
      case L'<': out += L"&lt;"; break;
      case L'&': out += L"&amp;"; break;
      case L'>': out += L"&gt;"; break;
      case L'\'': out += L"&apos;"; break;
      case L'"': out += L"&quot;"; break;
      case L'\t': out += L"&#9;"; break;
      case L'\n': out += L"&#10;"; break;
      case L'\r': out += L"&#13;"; break;
      default:
        out.push_back(IsXmlChar(static_cast<char32_t>(wc)) ? wc : L'\uFFFD');
    }
  }
  return WideToUtf8(out);
}

// Decodes the predefined entities and range-checked numeric references;
// anything else stays as written.
std::wstring DecodeAttribute(std::string_view raw) {
  if (raw.find('&') == std::string_view::npos) return Utf8ToWide(raw);
  const std::wstring s = Utf8ToWide(raw);
  std::wstring out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != L'&') {
      out.push_back(s[i]);
      continue;
    }
    const size_t semi = s.find(L';', i + 1);
    if (semi == std::wstring::npos || semi - i > 12) {
      out.push_back(s[i]);
      continue;
    }
    const std::wstring_view ent(s.data() + i + 1, semi - i - 1);
    wchar_t rep = 0;
    if (ent == L"lt") rep = L'<';
    else if (ent == L"gt") rep = L'>';
    else if (ent == L"amp") rep = L'&';
    else if (ent == L"apos") rep = L'\'';
    else if (ent == L"quot") rep = L'"';
    else if (ent.size() >= 2 && ent[0] == L'#') {
      const bool hex = ent[1] == L'x' || ent[1] == L'X';
      const std::wstring_view digits = ent.substr(hex ? 2 : 1);
      char32_t v = 0;
      bool ok = !digits.empty() && digits.size() <= 8;
      for (wchar_t d : digits) {
        if (!ok) break;
        int dv;
        if (d >= L'0' && d <= L'9') dv = d - L'0';
        else if (hex && d >= L'a' && d <= L'f') dv = d - L'a' + 10;
        else if (hex && d >= L'A' && d <= L'F') dv = d - L'A' + 10;
        else { ok = false; break; }
        v = v * (hex ? 16 : 10) + static_cast<char32_t>(dv);
      }
      if (ok && IsXmlChar(v)) rep = static_cast<wchar_t>(v);
    }
    if (rep == 0) {
      out.push_back(s[i]);
      continue;
    }
    out.push_back(rep);
    i = semi;
  }
  return out;
}

}  // namespace

struct XmlDocument::Impl {
  std::string text;  // UTF-8, as set or loaded, until parsed
  pugi::xml_document doc;
  bool parsed = false;
  pugi::xml_node parent, current, child;  // null = none
  std::wstring result;

  void Note(const wchar_t* word) {
    if (!result.empty()) result.push_back(L' ');
    result += word;
  }
  void ResetCursor() { parent = current = child = pugi::xml_node(); }
  pugi::xml_node Base() const { return parent ? parent : doc.root(); }

  void Serialize(std::string& out) const;
};

namespace {

void WriteNodeOpen(const pugi::xml_node& n, std::string& out) {
  out += '<';
  out += n.name();
  for (const auto& a : n.attributes()) {
    out += ' ';
    out += a.name();
    out += "=\"";
    // Raw text read with other quoting may hold a quote or '<'.
    for (const char* v = a.value(); *v; ++v) {
      if (*v == '"') out += "&quot;";
      else if (*v == '<') out += "&lt;";
      else out += *v;
    }
    out += '"';
  }
}

}  // namespace

// Iterative so that depth never grows the stack; each element on its own
// line with CRLF line ends.
void XmlDocument::Impl::Serialize(std::string& out) const {
  struct Item {
    pugi::xml_node node;
    bool closing;
    bool inlined;  // inside mixed content: no line breaks, text stays exact
  };
  std::vector<Item> stack;
  std::vector<pugi::xml_node> kids;
  auto pushChildren = [&](const pugi::xml_node& parent, bool inlined) {
    kids.clear();
    for (auto k = parent.first_child(); k; k = k.next_sibling()) kids.push_back(k);
    for (auto it = kids.rbegin(); it != kids.rend(); ++it) stack.push_back({*it, false, inlined});
  };
  pushChildren(doc, false);
  while (!stack.empty()) {
    const Item item = stack.back();
    stack.pop_back();
    const pugi::xml_node& n = item.node;
    const char* eol = item.inlined ? "" : "\r\n";
    if (item.closing) {
      out += "</";
      out += n.name();
      out += ">";
      out += eol;
      continue;
    }
    switch (n.type()) {
      case pugi::node_declaration:
        out += "<?";
        out += n.name();
        for (const auto& a : n.attributes()) {
          out += ' ';
          out += a.name();
          out += "=\"";
          out += a.value();
          out += '"';
        }
        out += "?>";
        out += eol;
        break;
      case pugi::node_pi:
        out += "<?";
        out += n.name();
        if (*n.value()) {
          out += ' ';
          out += n.value();
        }
        out += "?>";
        out += eol;
        break;
      case pugi::node_comment:
        out += "<!--";
        out += n.value();
        out += "-->";
        out += eol;
        break;
      case pugi::node_doctype:
        out += "<!DOCTYPE ";
        out += n.value();
        out += ">";
        out += eol;
        break;
      case pugi::node_cdata:
        out += "<![CDATA[";
        out += n.value();
        out += "]]>";
        break;
      case pugi::node_pcdata:
        out += n.value();
        break;
      case pugi::node_element: {
        WriteNodeOpen(n, out);
        if (!n.first_child()) {
          out += "/>";
          out += eol;
          break;
        }
        bool mixed = item.inlined;
        for (auto k = n.first_child(); k && !mixed; k = k.next_sibling())
          mixed = k.type() == pugi::node_pcdata || k.type() == pugi::node_cdata;
        out += '>';
        if (!mixed) out += "\r\n";
        stack.push_back({n, true, item.inlined});
        pushChildren(n, mixed);
        break;
      }
      default:
        break;
    }
  }
}

XmlDocument::XmlDocument() : impl_(std::make_unique<Impl>()) {}
XmlDocument::~XmlDocument() = default;

bool XmlDocument::SetDoc(const std::wstring& text) {
  impl_->text = WideToUtf8(text);
  impl_->parsed = false;
  return Parse();
}

bool XmlDocument::Load(const std::wstring& path, std::wstring* result) {
  Impl& d = *impl_;
  d.result.clear();
  d.doc.reset();
  d.parsed = false;
  d.ResetCursor();
  d.text.clear();
  std::string bytes;
  if (!ReadFileBytes(ToNativePath(path), bytes, kMaxFileBytes)) {
    d.Note(L"file_error");
    if (result) *result = d.result;
    return false;
  }
  return LoadBytes(bytes, result);
}

bool XmlDocument::LoadBytes(std::string_view bytes, std::wstring* result) {
  Impl& d = *impl_;
  d.doc.reset();
  d.parsed = false;
  d.ResetCursor();
  d.text.clear();
  if (bytes.size() > kMaxFileBytes) {
    d.Note(L"file_error");
    if (result) *result = d.result;
    return false;
  }
  d.Note(L"read");

  Encoding enc;
  size_t skip = 0;
  const auto b = [&](size_t i) { return i < bytes.size() ? static_cast<unsigned char>(bytes[i]) : 0x100u; };
  if (b(0) == 0xEF && b(1) == 0xBB && b(2) == 0xBF) {
    enc = Encoding::Utf8, skip = 3;
  } else if (b(0) == 0xFF && b(1) == 0xFE) {
    enc = Encoding::Utf16Le, skip = 2;
  } else if (b(0) == 0xFE && b(1) == 0xFF) {
    enc = Encoding::Utf16Be, skip = 2;
  } else if (b(0) == '<' && b(1) == 0 && b(2) == '?' && b(3) == 0) {
    enc = Encoding::Utf16Le;  // declared UTF-16 without a mark
  } else if (b(0) == 0 && b(1) == '<' && b(2) == 0 && b(3) == '?') {
    enc = Encoding::Utf16Be;
  } else {
    const std::string declared = DeclaredEncoding(bytes);
    if (!declared.empty()) {
      enc = EncodingByName(declared);
    } else if (IsValidUtf8(bytes)) {
      d.Note(L"utf8_detection");
      enc = Encoding::Utf8;
    } else {
      enc = Encoding::Ansi;
    }
  }
  const std::string_view body = bytes.substr(skip);
  switch (enc) {
    case Encoding::Utf8:
      d.Note(L"UTF-8");
      if (IsValidUtf8(body)) {
        d.text.assign(body);
      } else {
        d.Note(L"conversion_loss");
        d.text = WideToUtf8(Utf8ToWide(body));
      }
      break;
    case Encoding::Utf16Le:
    case Encoding::Utf16Be:
      d.Note(L"UTF-16");
      if (enc == Encoding::Utf16Be) d.Note(L"endian_swap");
      if (body.size() % 2 != 0) {
        // A truncated unit means a truncated file: refuse it whole.
        d.Note(L"file_error");
        if (result) *result = d.result;
        return false;
      }
      d.text = WideToUtf8(DecodeUtf16(body, enc == Encoding::Utf16Be));
      break;
    case Encoding::Ansi:
      d.Note(L"ANSI");
      d.text = WideToUtf8(DecodeAnsi(body));
      break;
  }
  const size_t before = d.text.size();
  std::erase(d.text, '\0');
  if (d.text.size() != before) d.Note(L"nulls_removed");
  if (result) *result = d.result;
  return true;
}

bool XmlDocument::Parse() {
  Impl& d = *impl_;
  d.doc.reset();
  d.ResetCursor();
  d.parsed = false;
  const std::string& utf8 = d.text;
  constexpr unsigned kFlags = pugi::parse_declaration | pugi::parse_comments | pugi::parse_pi |
                              pugi::parse_cdata | pugi::parse_doctype;
  const pugi::xml_parse_result r =
      d.doc.load_buffer(utf8.data(), utf8.size(), kFlags, pugi::encoding_utf8);
  bool ok = r.status == pugi::status_ok;
  if (!ok) {
    if (r.status == pugi::status_no_document_element) d.Note(L"no_root_element");
    else if (r.status == pugi::status_end_element_mismatch)
      d.Note(static_cast<size_t>(r.offset) >= utf8.size() ? L"unended_start_tag" : L"lone_end_tag");
    else if (r.status == pugi::status_unrecognized_tag || r.status == pugi::status_bad_end_element)
      d.Note(L"lone_end_tag");
    else
      d.Note(L"unended_start_tag");
  } else {
    int roots = 0;
    for (auto n = d.doc.first_child(); n; n = n.next_sibling())
      if (n.type() == pugi::node_element) ++roots;
    if (roots == 0) {
      d.Note(L"no_root_element");
      ok = false;
    } else if (roots > 1) {
      d.Note(L"root_has_sibling");
      ok = false;
    }
  }
  if (ok) {
    // Depth check without recursion: walk down first children, across and up.
    int depth = 0;
    pugi::xml_node n = d.doc.first_child();
    while (n && ok) {
      if (n.first_child()) {
        n = n.first_child();
        if (++depth > kMaxDepth) ok = false;
        continue;
      }
      while (n && !n.next_sibling()) {
        n = n.parent();
        --depth;
        if (n == d.doc) n = pugi::xml_node();
      }
      if (n) n = n.next_sibling();
    }
    if (!ok) d.Note(L"too_deep");
  }
  if (!ok) {
    // Callers treat this like a missing file: navigation finds nothing.
    d.doc.reset();
    return false;
  }
  d.parsed = true;
  d.text.clear();
  return true;
}

bool XmlDocument::FindElem(const std::wstring& name) {
  Impl& d = *impl_;
  const std::string n = WideToUtf8(name);
  pugi::xml_node it = d.current ? d.current.next_sibling() : d.Base().first_child();
  for (; it; it = it.next_sibling()) {
    if (it.type() == pugi::node_element && n == it.name()) {
      d.current = it;
      d.child = pugi::xml_node();
      return true;
    }
  }
  return false;
}

bool XmlDocument::IntoElem() {
  Impl& d = *impl_;
  if (!d.current) return false;
  d.parent = d.current;
  d.current = d.child;
  d.child = pugi::xml_node();
  return true;
}

bool XmlDocument::OutOfElem() {
  Impl& d = *impl_;
  if (!d.parent) return false;
  d.child = d.current;
  d.current = d.parent;
  pugi::xml_node up = d.parent.parent();
  d.parent = (up && up.type() == pugi::node_element) ? up : pugi::xml_node();
  return true;
}

std::wstring XmlDocument::GetAttrib(const std::wstring& name) const {
  const Impl& d = *impl_;
  if (!d.current) return {};
  const pugi::xml_attribute a = d.current.attribute(WideToUtf8(name).c_str());
  return a ? DecodeAttribute(a.value()) : std::wstring();
}

std::wstring XmlDocument::GetTagName() const {
  return impl_->current ? Utf8ToWide(impl_->current.name()) : std::wstring();
}

bool XmlDocument::AddElem(const std::wstring& name) {
  Impl& d = *impl_;
  if (!IsValidName(name)) return false;
  if (!d.parsed) {
    // Writing starts from SetDoc with only a declaration, or from nothing.
    if (!d.text.empty()) {
      const std::string& utf8 = d.text;
      constexpr unsigned kFlags = pugi::parse_declaration | pugi::parse_comments | pugi::parse_pi;
      d.doc.load_buffer(utf8.data(), utf8.size(), kFlags, pugi::encoding_utf8);
    }
    d.parsed = true;
    d.text.clear();
  }
  pugi::xml_node base = d.Base();
  pugi::xml_node added = d.current ? base.insert_child_after(pugi::node_element, d.current)
                                   : base.append_child(pugi::node_element);
  if (!added) return false;
  added.set_name(WideToUtf8(name).c_str());
  d.current = added;
  d.child = pugi::xml_node();
  return true;
}

bool XmlDocument::SetAttrib(const std::wstring& name, const std::wstring& value) {
  Impl& d = *impl_;
  if (!d.current || !IsValidName(name)) return false;
  const std::string n = WideToUtf8(name);
  pugi::xml_attribute a = d.current.attribute(n.c_str());
  if (!a) a = d.current.append_attribute(n.c_str());
  return a.set_value(EscapeAttribute(value).c_str());
}

bool XmlDocument::SetAttrib(const std::wstring& name, int value) {
  return SetAttrib(name, std::to_wstring(value));
}

std::wstring XmlDocument::GetDoc() const {
  if (!impl_->parsed) return Utf8ToWide(impl_->text);
  std::string out;
  impl_->Serialize(out);
  return Utf8ToWide(out);
}

const std::wstring& XmlDocument::GetResult() const { return impl_->result; }

bool XmlDocument::Save(const std::wstring& path) {
  Impl& d = *impl_;
  std::string utf8;
  if (d.parsed) d.Serialize(utf8);
  else utf8 = d.text;
  const Encoding enc = EncodingByName(DeclaredEncoding(utf8));
  std::string bytes;
  bool loss = false;
  switch (enc) {
    case Encoding::Utf8: bytes = std::move(utf8); d.Note(L"UTF-8"); break;
    case Encoding::Utf16Le:
    case Encoding::Utf16Be:
      // No byte-order mark; the reader recognises "<?" in UTF-16.
      bytes = EncodeUtf16Le(Utf8ToWide(utf8));
      d.Note(L"UTF-16");
      break;
    case Encoding::Ansi: bytes = EncodeAnsi(Utf8ToWide(utf8), loss); d.Note(L"ANSI"); break;
  }
  if (loss) d.Note(L"conversion_loss");
  if (!WriteFileAtomic(ToNativePath(path), bytes)) {
    d.Note(L"file_error");
    return false;
  }
  d.Note(L"write");
  return true;
}

}  // namespace brumkey
