#pragma once

#include "app/core/PanelWindow.h"
#include "platform/Value.h"

#include <optional>

namespace app::desktop {

// The saved panel frame under "FloatingPanelFrame": the four numbers of the
// frame (x, y, width, height in screen pixels, top-left origin) as IEEE
// doubles after a four-byte tag, so that what is read back is exactly what
// was written.
platform::Value::Data encodePanelFrame(const Rect& frame);
// Nothing for anything else: other lengths or tags, numbers that are not
// finite, an empty size.
std::optional<Rect> decodePanelFrame(const platform::Value::Data& data);

} // namespace app::desktop
