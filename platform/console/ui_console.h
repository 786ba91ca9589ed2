// The terminal front end of the window toolkit.
#pragma once

#include <memory>

#include "platform/ui.h"

namespace platform::ui {

std::unique_ptr<Toolkit> OpenConsoleToolkit();

}  // namespace platform::ui
