// brumkeyctl devices: every configured model, and whether (and how) it is
// connected right now.
#include <cstdio>
#include <ostream>

#include "cli/cli.h"
#include "cli/json.h"
#include "util/text.h"

namespace brumkey::cli {
namespace {

std::string Hex4(int v) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%04x", static_cast<unsigned>(v) & 0xFFFF);
  return buf;
}

struct ModelStatus {
  const DeviceEntry* keyboard = nullptr;
  std::vector<const DeviceEntry*> modes;
  bool connected = false;
  int connectionMode = -1;
};

int RunDevices(Context& ctx) {
  if (!ctx.args.empty()) return ctx.UsageError("devices takes no arguments");
  const std::vector<DeviceEntry>& modes = ctx.ScanDevices();
  DeviceLink& link = ctx.Link();
  const int selected = link.SelectedDeviceType();

  std::vector<ModelStatus> models;
  for (const DeviceEntry& k : ctx.Config().keyboards) {
    ModelStatus m;
    m.keyboard = &k;
    for (const DeviceEntry& e : modes) {
      if (e.deviceType != k.deviceType || e.layoutName != k.layoutName) continue;
      m.modes.push_back(&e);
      m.connected = m.connected || e.present;
    }
    if (m.connected) {
      link.SetSelectedDeviceType(k.deviceType);
      m.connectionMode = link.GetConnectionMode();
    }
    models.push_back(m);
  }
  link.SetSelectedDeviceType(selected);

  if (ctx.Options().json) {
    JsonWriter j;
    j.BeginObject().Key("devices").BeginArray();
    for (const ModelStatus& m : models) {
      j.BeginObject();
      j.Key("name").String(m.keyboard->name);
      j.Key("deviceType").Int(m.keyboard->deviceType);
      j.Key("family").Int(DeviceFamily(m.keyboard->deviceType));
      j.Key("layout").String(m.keyboard->layoutName);
      j.Key("modes").BeginArray();
      for (const DeviceEntry* e : m.modes) {
        j.BeginObject();
        j.Key("mode").Int(e->mode);
        j.Key("desc").String(e->desc);
        j.Key("vid").String(Hex4(e->vid));
        j.Key("pid").String(Hex4(e->pid));
        j.Key("product").String(e->name);
        j.Key("present").Bool(e->present != 0);
        j.EndObject();
      }
      j.EndArray();
      j.Key("connected").Bool(m.connected);
      j.Key("connectionMode");
      if (m.connected)
        j.Int(m.connectionMode);
      else
        j.Null();
      j.EndObject();
    }
    j.EndArray().EndObject();
    ctx.out << j.Text() << "\n";
    return kExitOk;
  }

  for (const ModelStatus& m : models) {
    ctx.out << WideToUtf8(m.keyboard->name) << ": device type " << m.keyboard->deviceType
            << ", family " << DeviceFamily(m.keyboard->deviceType) << ", modes";
    if (m.modes.empty()) ctx.out << " none";
    for (size_t i = 0; i < m.modes.size(); ++i) ctx.out << (i ? "," : " ") << m.modes[i]->mode;
    if (m.connected)
      ctx.out << ", connected in mode " << m.connectionMode << "\n";
    else
      ctx.out << ", not connected\n";
  }
  return kExitOk;
}

const CommandRegistrar kDevices("devices", "list the configured keyboards and their connection",
                                &RunDevices);

}  // namespace
}  // namespace brumkey::cli
