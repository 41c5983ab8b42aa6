// brumkeyctl layout show: the current model's layout as the program loads it.
#include <cstdio>
#include <ostream>

#include "app/language.h"
#include "cli/json.h"
#include "cli/store_session.h"
#include "util/text.h"

namespace brumkey::cli {
namespace {

std::string Hex(unsigned v, int width) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%0*X", width, v);
  return buf;
}

std::wstring ModeName(const LightSetting& m) {
  const std::wstring text = GetLangString(ParseDecimal(m.name));
  return text.empty() ? m.name : text;
}

int RunLayout(Context& ctx) {
  if (ctx.args.size() != 1 || ctx.args[0] != "show") return ctx.UsageError("layout show");
  StoreSession s(ctx);
  if (int rc = s.Open(); rc != kExitOk) return rc;
  if (!s.LoadResult().fileLoaded) return ctx.Failure("cannot read " + WideToUtf8(s.LoadResult().layoutPath));
  const KeyboardLayout& l = s.Layout();

  if (ctx.Options().json) {
    JsonWriter j;
    j.BeginObject();
    j.Key("deviceType").Int(l.currentDeviceType).Key("name").String(l.currentKeyboardName);
    j.Key("pageFlags").Int(l.pageFlags).Key("rgbKeyboard").Bool(l.rgbKeyboard);
    j.Key("defaultMode").Int(l.defaultLightMode).Key("defaultBrightness").Int(l.defaultBrightness);
    j.Key("defaultSpeed").Int(l.defaultSpeed).Key("brightnessMax").Int(l.brightnessMax);
    j.Key("speedMax").Int(l.speedMax).Key("rows").Int(l.rowCount).Key("cols").Int(l.colCount);
    j.Key("lightModes").BeginArray();
    for (const LightSetting& m : l.lightModes) {
      j.BeginObject().Key("mode").Int(m.mode).Key("name").String(ModeName(m));
      j.Key("attribute").Int(m.config_func).EndObject();
    }
    j.EndArray().Key("keys").BeginArray();
    for (const KeyItem& k : l.keyItems) {
      auto index = l.keyIndexByCode.find(k.code);
      j.BeginObject().Key("code").Int(k.code).Key("name").String(k.name).Key("desc").String(k.desc);
      j.Key("index");
      if (index != l.keyIndexByCode.end()) j.Int(index->second);
      else j.Null();
      j.Key("rect").BeginArray().Int(k.rect.left).Int(k.rect.top).Int(k.rect.right).Int(k.rect.bottom);
      j.EndArray().EndObject();
    }
    ctx.out << j.EndArray().EndObject().Text() << "\n";
    return kExitOk;
  }

  ctx.out << WideToUtf8(l.currentKeyboardName) << " (device type " << l.currentDeviceType << ")\n";
  ctx.out << "pages 0x" << Hex(l.pageFlags, 2) << ":" << (l.pageFlags & kPageKeys ? " keys" : "")
          << (l.pageFlags & kPageMacro ? " macro" : "") << (l.pageFlags & kPageLighting ? " lighting" : "")
          << (l.pageFlags & kPageSettings ? " settings" : "") << "\n";
  ctx.out << "lighting: rgb " << (l.rgbKeyboard ? "yes" : "no") << ", default mode " << l.defaultLightMode
          << ", brightness " << l.defaultBrightness << "/" << l.brightnessMax << ", speed " << l.defaultSpeed << "/"
          << l.speedMax << "\n";
  for (const LightSetting& m : l.lightModes) {
    ctx.out << "  mode " << m.mode << "\t0x" << Hex(m.config_func, 3) << "\t" << WideToUtf8(ModeName(m)) << "\n";
  }
  ctx.out << "grid " << l.rowCount << " x " << l.colCount << "\n";
  for (int r = 0; r < l.rowCount; ++r) {
    ctx.out << " ";
    for (int c = 0; c < l.colCount; ++c) {
      const uint8_t cell = l.keyGrid[r][c];
      ctx.out << " " << (cell == kEmptyGridCell ? std::string("..") : Hex(cell, 2));
    }
    ctx.out << "\n";
  }
  ctx.out << "keys " << l.keyItems.size() << "\n";
  for (const KeyItem& k : l.keyItems) {
    auto index = l.keyIndexByCode.find(k.code);
    ctx.out << "  0x" << Hex(k.code, 2) << "\t" << (index == l.keyIndexByCode.end() ? -1 : index->second) << "\t"
            << WideToUtf8(k.name) << "\t" << WideToUtf8(k.desc) << "\t" << k.rect.left << "," << k.rect.top << ","
            << k.rect.right << "," << k.rect.bottom << "\n";
  }
  return kExitOk;
}

const CommandRegistrar kLayout("layout", "show the current model's layout", &RunLayout);

}  // namespace
}  // namespace brumkey::cli
