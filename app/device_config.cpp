#include "app/device_config.h"

#include "store/xml_document.h"
#include "util/text.h"

namespace brumkey {

int DeviceFamily(int deviceType) {
  if (deviceType <= 200) return 1;
  if (deviceType <= 299) return 2;
  return 0;
}

bool LoadDeviceConfig(const std::wstring& path, DeviceConfig& out,
                      const std::function<void(const DeviceEntry&)>& registerMode) {
  out = DeviceConfig{};
  XmlDocument xml;
  if (!xml.Load(path) || !xml.Parse()) return false;
  if (!xml.FindElem(L"config")) return false;
  xml.IntoElem();

  // Each lookup continues after the element the previous one found.
  if (xml.FindElem(L"device.info")) {
    xml.IntoElem();
    while (xml.FindElem(L"keyboard")) {
      DeviceEntry entry;
      entry.name = xml.GetAttrib(L"name");
      entry.deviceType = ParseDecimal(xml.GetAttrib(L"device_type"));
      entry.layoutName = xml.GetAttrib(L"device_info");
      out.keyboards.push_back(entry);
      xml.IntoElem();
      while (xml.FindElem(L"mode")) {
        entry.mode = ParseDecimal(xml.GetAttrib(L"value"));
        entry.desc = xml.GetAttrib(L"desc");
        entry.vid = ParseHex(xml.GetAttrib(L"vid"));
        entry.pid = ParseHex(xml.GetAttrib(L"pid"));
        entry.name = xml.GetAttrib(L"product_name");
        entry.hidInterface = xml.GetAttrib(L"hid_interface");
        out.modes.push_back(entry);
        if (registerMode) registerMode(entry);
      }
      xml.OutOfElem();
    }
    xml.OutOfElem();
  }

  if (xml.FindElem(L"software")) {
    out.hasSoftware = true;
    out.version = xml.GetAttrib(L"version");
    xml.IntoElem();
    if (xml.FindElem(L"website")) out.website = xml.GetAttrib(L"url");
    if (xml.FindElem(L"store")) out.store = xml.GetAttrib(L"url");
    if (xml.FindElem(L"upgrade")) out.upgrade = xml.GetAttrib(L"url");
    if (xml.FindElem(L"copyright")) {
      out.hasCopyright = true;
      out.copyright = xml.GetAttrib(L"info");
    }
    xml.OutOfElem();
  }
  return true;
}

}  // namespace brumkey
