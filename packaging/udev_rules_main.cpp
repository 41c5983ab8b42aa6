// Build-time generator: udev_rules_gen <config.xml> <output.rules>
#include <cstdio>
#include <fstream>
#include <iostream>

#include "app/device_config.h"
#include "packaging/udev_rules.h"
#include "util/text.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: udev_rules_gen <config.xml> <output.rules>\n";
    return 2;
  }
  brumkey::DeviceConfig config;
  if (!brumkey::LoadDeviceConfig(brumkey::Utf8ToWide(argv[1]), config)) {
    std::cerr << "udev_rules_gen: cannot read " << argv[1] << "\n";
    return 1;
  }
  const std::string tmp = std::string(argv[2]) + ".tmp";
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    out << brumkey::MakeUdevRules(config.modes);
    if (!out.flush()) {
      std::cerr << "udev_rules_gen: cannot write " << tmp << "\n";
      return 1;
    }
  }
  if (std::rename(tmp.c_str(), argv[2]) != 0) {
    std::cerr << "udev_rules_gen: cannot write " << argv[2] << "\n";
    return 1;
  }
  return 0;
}
