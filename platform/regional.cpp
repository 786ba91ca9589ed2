#include "platform/regional.h"

namespace platform {
namespace {
RegionalSettings g_settings;
}  // namespace

void UseRegionalSettings(const RegionalSettings& settings) { g_settings = settings; }

const RegionalSettings& Regional() { return g_settings; }

}  // namespace platform
