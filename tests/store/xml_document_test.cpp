#include "store/xml_document.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "support/temp_dir.h"

namespace brumkey {
namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void WriteAll(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

TEST(XmlDocument, FindElemNeverLooksBack) {
  XmlDocument x;
  ASSERT_TRUE(x.SetDoc(L"<r><a/><item n='1'/><b/><item n='2'/><c/><item n='3'/></r>"));
  ASSERT_TRUE(x.FindElem(L"r"));
  ASSERT_TRUE(x.IntoElem());
  ASSERT_TRUE(x.FindElem(L"item"));
  ASSERT_TRUE(x.FindElem(L"item"));
  EXPECT_EQ(x.GetAttrib(L"n"), L"2");
  ASSERT_TRUE(x.FindElem(L"item"));
  EXPECT_EQ(x.GetAttrib(L"n"), L"3");
  // On the last one: false, and the cursor stays.
  EXPECT_FALSE(x.FindElem(L"item"));
  EXPECT_EQ(x.GetAttrib(L"n"), L"3");
  // Everything before the cursor is out of reach until the parent is re-entered.
  EXPECT_FALSE(x.FindElem(L"a"));
  EXPECT_FALSE(x.FindElem(L"c"));
}

TEST(XmlDocument, IntoAndOutOfElemRules) {
  XmlDocument x;
  ASSERT_TRUE(x.SetDoc(L"<r><p><q v='deep'/></p><s/></r>"));
  EXPECT_FALSE(x.IntoElem()) << "no current element at document level";
  EXPECT_FALSE(x.OutOfElem()) << "already at document level";
  ASSERT_TRUE(x.FindElem(L"r"));
  ASSERT_TRUE(x.IntoElem());
  EXPECT_FALSE(x.IntoElem()) << "IntoElem right after IntoElem has no current element";
  ASSERT_TRUE(x.FindElem(L"p"));
  ASSERT_TRUE(x.IntoElem());
  ASSERT_TRUE(x.FindElem(L"q"));
  EXPECT_EQ(x.GetAttrib(L"v"), L"deep");
  ASSERT_TRUE(x.OutOfElem());
  EXPECT_EQ(x.GetTagName(), L"p");
  // Re-entering resumes after the child we left.
  ASSERT_TRUE(x.IntoElem());
  EXPECT_FALSE(x.FindElem(L"q"));
  ASSERT_TRUE(x.OutOfElem());
  EXPECT_TRUE(x.FindElem(L"s"));
  ASSERT_TRUE(x.OutOfElem());
  EXPECT_FALSE(x.OutOfElem());
  EXPECT_EQ(x.GetAttrib(L"missing"), L"");
}

TEST(XmlDocument, ParseFailuresFindNothing) {
  const wchar_t* bad[] = {
      L"",                          // no root
      L"<?xml version='1.0'?>",    // no root
      L"<a/><b/>",                  // root has sibling
      L"<a></b></a>",               // end tag closing nothing
      L"<a><b>",                    // never closed
      L"<a><b></a>",                // mismatched end tag
      L"<a x='1></a>",              // unended attribute
  };
  for (const wchar_t* doc : bad) {
    XmlDocument x;
    EXPECT_FALSE(x.SetDoc(doc)) << doc;
    EXPECT_FALSE(x.FindElem(L"a")) << doc;
    EXPECT_FALSE(x.GetResult().empty()) << doc;
  }
}

TEST(XmlDocument, CommentsPiAndCdataAreSkippedByNavigation) {
  XmlDocument x;
  ASSERT_TRUE(x.SetDoc(L"<?xml version='1.0'?><!-- c --><?pi x?><r><![CDATA[<not/>]]><!--d--><e/></r>"));
  ASSERT_TRUE(x.FindElem(L"r"));
  ASSERT_TRUE(x.IntoElem());
  EXPECT_FALSE(x.FindElem(L"not"));
  EXPECT_TRUE(x.FindElem(L"e"));
}

TEST(XmlDocument, DeepNestingFailsWithoutCrashing) {
  std::wstring deep;
  for (int i = 0; i < 100000; ++i) deep += L"<a>";
  XmlDocument x;
  EXPECT_FALSE(x.SetDoc(deep));
  std::wstring closed = deep;
  for (int i = 0; i < 100000; ++i) closed += L"</a>";
  EXPECT_FALSE(x.SetDoc(closed)) << "deeper than the limit";
  std::wstring ok;
  for (int i = 0; i < XmlDocument::kMaxDepth; ++i) ok += L"<a>";
  for (int i = 0; i < XmlDocument::kMaxDepth; ++i) ok += L"</a>";
  EXPECT_TRUE(x.SetDoc(ok));
}

TEST(XmlDocument, CharacterReferencesAreRangeChecked) {
  XmlDocument x;
  ASSERT_TRUE(x.SetDoc(
      L"<r a='&#65;&#x42;' b='&#0;&#xD800;&#x110000;&#99999999999;' c='&bogus; &amp &lt;' d='&#x1F3B9;'/>"));
  ASSERT_TRUE(x.FindElem(L"r"));
  EXPECT_EQ(x.GetAttrib(L"a"), L"AB");
  EXPECT_EQ(x.GetAttrib(L"b"), L"&#0;&#xD800;&#x110000;&#99999999999;");
  EXPECT_EQ(x.GetAttrib(L"c"), L"&bogus; &amp <");
  EXPECT_EQ(x.GetAttrib(L"d"), L"\U0001F3B9");
}

TEST(XmlDocument, WritesTheExchangeFormatAndReadsItBack) {
  test::TempDir dir;
  const std::wstring tricky = L"Say \"hi\" & <go> 'now'\nline2\tend\r";
  XmlDocument w;
  w.SetDoc(L"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n");
  ASSERT_TRUE(w.AddElem(L"profile"));
  ASSERT_TRUE(w.IntoElem());
  ASSERT_TRUE(w.AddElem(L"profileinfo"));
  ASSERT_TRUE(w.SetAttrib(L"name", tricky));
  ASSERT_TRUE(w.SetAttrib(L"bad", std::wstring(L"a\x01" L"b\x1F" L"c\uFFFE")));
  ASSERT_TRUE(w.AddElem(L"keyitems"));
  ASSERT_TRUE(w.IntoElem());
  ASSERT_TRUE(w.AddElem(L"item"));
  ASSERT_TRUE(w.SetAttrib(L"key_code", 41));
  ASSERT_TRUE(w.SetAttrib(L"key_code", 42));  // replaces, does not duplicate
  ASSERT_TRUE(w.OutOfElem());
  EXPECT_FALSE(w.AddElem(L"bad name"));
  ASSERT_TRUE(w.Save(dir.WFile("p.xml")));

  const std::string bytes = ReadAll(dir.File("p.xml"));
  EXPECT_EQ(bytes,
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
            "<profile>\r\n"
            "<profileinfo name=\"Say &quot;hi&quot; &amp; &lt;go&gt; &apos;now&apos;&#10;line2&#9;end&#13;\""
            " bad=\"a\xEF\xBF\xBD" "b\xEF\xBF\xBD" "c\xEF\xBF\xBD\"/>\r\n"
            "<keyitems>\r\n"
            "<item key_code=\"42\"/>\r\n"
            "</keyitems>\r\n"
            "</profile>\r\n");

  XmlDocument r;
  std::wstring result;
  ASSERT_TRUE(r.Load(dir.WFile("p.xml"), &result));
  EXPECT_NE(result.find(L"UTF-8"), std::wstring::npos);
  ASSERT_TRUE(r.Parse());
  ASSERT_TRUE(r.FindElem(L"profile"));
  ASSERT_TRUE(r.IntoElem());
  ASSERT_TRUE(r.FindElem(L"profileinfo"));
  EXPECT_EQ(r.GetAttrib(L"name"), tricky);
  ASSERT_TRUE(r.FindElem(L"keyitems"));
  ASSERT_TRUE(r.IntoElem());
  ASSERT_TRUE(r.FindElem(L"item"));
  EXPECT_EQ(r.GetAttrib(L"key_code"), L"42");
}

TEST(XmlDocument, AddElemInsertsAfterTheCurrentElement) {
  XmlDocument x;
  ASSERT_TRUE(x.SetDoc(L"<r><a/><c/></r>"));
  ASSERT_TRUE(x.FindElem(L"r"));
  ASSERT_TRUE(x.IntoElem());
  ASSERT_TRUE(x.FindElem(L"a"));
  ASSERT_TRUE(x.AddElem(L"b"));
  EXPECT_EQ(x.GetDoc(), L"<r>\r\n<a/>\r\n<b/>\r\n<c/>\r\n</r>\r\n");
  XmlDocument empty;
  ASSERT_TRUE(empty.AddElem(L"root"));
  EXPECT_EQ(empty.GetDoc(), L"<root/>\r\n");
}

TEST(XmlDocument, LoadDecodesByMarkDeclarationOrContent) {
  test::TempDir dir;
  const std::string body = "<r v=\"\xC3\xA9\xE2\x82\xAC\"/>";  // é€ in UTF-8
  auto utf16 = [](const std::wstring& s, bool be) {
    std::string out;
    for (wchar_t c : s) {
      const char lo = static_cast<char>(c & 0xFF), hi = static_cast<char>(c >> 8);
      out += be ? std::string{hi, lo} : std::string{lo, hi};
    }
    return out;
  };
  struct Case {
    const char* name;
    std::string bytes;
    std::wstring expect;
  } cases[] = {
      {"utf8", body, L"\u00e9\u20ac"},
      {"utf8-bom", "\xEF\xBB\xBF" + body, L"\u00e9\u20ac"},
      {"utf16le-bom", "\xFF\xFE" + utf16(L"<r v=\"\u00e9\u20ac\"/>", false), L"\u00e9\u20ac"},
      {"utf16be-bom", "\xFE\xFF" + utf16(L"<r v=\"\u00e9\u20ac\"/>", true), L"\u00e9\u20ac"},
      {"utf16le-declared", utf16(L"<?xml version=\"1.0\" encoding=\"UTF-16\"?><r v=\"\u00e9\"/>", false),
       L"\u00e9"},
      {"ansi-fallback", "<r v=\"\xE9\x80\"/>", L"\u00e9\u20ac"},
      {"ansi-declared", "<?xml version=\"1.0\" encoding=\"windows-1252\"?><r v=\"\xE9\"/>", L"\u00e9"},
      {"nulls", std::string("<r v=\"a\0b\"/>", 12), L"ab"},
  };
  for (const auto& c : cases) {
    WriteAll(dir.File(c.name), c.bytes);
    XmlDocument x;
    ASSERT_TRUE(x.Load(dir.WFile(c.name))) << c.name;
    ASSERT_TRUE(x.Parse()) << c.name << " " << std::string(x.GetResult().begin(), x.GetResult().end());
    ASSERT_TRUE(x.FindElem(L"r")) << c.name;
    EXPECT_EQ(x.GetAttrib(L"v"), c.expect) << c.name;
  }
}

TEST(XmlDocument, LoadRefusesMissingAndTruncatedFiles) {
  test::TempDir dir;
  XmlDocument x;
  std::wstring result;
  EXPECT_FALSE(x.Load(dir.WFile("missing.xml"), &result));
  EXPECT_NE(result.find(L"file_error"), std::wstring::npos);
  WriteAll(dir.File("odd.xml"), std::string("\xFF\xFE<\0r\0/\0>", 9));
  EXPECT_FALSE(x.Load(dir.WFile("odd.xml")));
  EXPECT_FALSE(x.Load(dir.path().wstring())) << "a directory is not a file";
}

TEST(XmlDocument, SaveHonoursDeclaredEncodingWithoutMark) {
  test::TempDir dir;
  for (const wchar_t* enc : {L"UTF-16", L"ISO-8859-1"}) {
    XmlDocument w;
    w.SetDoc(std::wstring(L"<?xml version=\"1.0\" encoding=\"") + enc + L"\"?>\r\n");
    ASSERT_TRUE(w.AddElem(L"m"));
    ASSERT_TRUE(w.SetAttrib(L"name", L"Caf\u00e9"));
    ASSERT_TRUE(w.Save(dir.WFile("e.xml")));
    const std::string bytes = ReadAll(dir.File("e.xml"));
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(bytes[0], '<') << "no byte-order mark";
    XmlDocument r;
    ASSERT_TRUE(r.Load(dir.WFile("e.xml")));
    ASSERT_TRUE(r.Parse());
    ASSERT_TRUE(r.FindElem(L"m"));
    EXPECT_EQ(r.GetAttrib(L"name"), L"Caf\u00e9") << enc;
  }
}

}  // namespace
}  // namespace brumkey
