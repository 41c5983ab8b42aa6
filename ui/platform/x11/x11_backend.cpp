#include "ui/platform/common/internal.h"
namespace kelvo::platform {
std::unique_ptr<Backend> MakeX11Backend() { return nullptr; }
}
