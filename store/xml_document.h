#pragma once
// Cursor-based XML reader and writer used for every XML file of the program.
// Callers never hold element objects: they move the cursor by name.
#include <memory>
#include <string>
#include <string_view>

namespace brumkey {

class XmlDocument {
 public:
  XmlDocument();
  ~XmlDocument();
  XmlDocument(const XmlDocument&) = delete;
  XmlDocument& operator=(const XmlDocument&) = delete;

  // Replaces the text and parses it; the cursor returns to document level.
  bool SetDoc(const std::wstring& text);
  // Reads and decodes a file; Parse() must follow.
  bool Load(const std::wstring& path, std::wstring* result = nullptr);
  // Load from memory: the same decoding as Load.
  bool LoadBytes(std::string_view bytes, std::wstring* result = nullptr);
  bool Parse();

  bool FindElem(const std::wstring& name);
  bool IntoElem();
  bool OutOfElem();
  std::wstring GetAttrib(const std::wstring& name) const;
  bool AddElem(const std::wstring& name);
  bool SetAttrib(const std::wstring& name, const std::wstring& value);
  bool SetAttrib(const std::wstring& name, int value);
  bool Save(const std::wstring& path);

  // The document text as it would be saved (declaration, CRLF line ends).
  std::wstring GetDoc() const;
  // Diagnostic words of the last load, parse and save.
  const std::wstring& GetResult() const;
  // Tag name of the current element, empty when there is none.
  std::wstring GetTagName() const;

  // Documents nested deeper than this fail Parse().
  static constexpr int kMaxDepth = 256;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace brumkey
