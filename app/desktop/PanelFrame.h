#pragma once

#include "app/core/PanelWindow.h"
#include "platform/Value.h"

#include <optional>
#include <vector>

namespace app::desktop {

// The saved panel frame under "FloatingPanelFrame": the four numbers of the
// frame (x, y, width, height in screen pixels, top-left origin) as IEEE
// doubles after a four-byte tag, so that what is read back is exactly what
// was written.
platform::Value::Data encodePanelFrame(const Rect& frame);
// Nothing for anything else: other lengths or tags, numbers that are not
// finite, an empty size.
std::optional<Rect> decodePanelFrame(const platform::Value::Data& data);

// Where a saved frame goes on the screens connected now (their available
// areas): on the screen that holds its centre, moved and shrunk as needed to
// lie wholly on it. Nothing when its centre is on no screen (a monitor that
// is gone, or values far out of range): the panel is centred instead.
std::optional<Rect> placeSavedFrame(const Rect& saved, const std::vector<Rect>& screens);
// `frame` moved (and shrunk when larger) to lie wholly inside `area`.
Rect fitInto(const Rect& frame, const Rect& area);

} // namespace app::desktop
