#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace app {

// One release announced by the update feed.
struct AppcastItem {
    std::string title;
    std::string version;
    // The page where the user downloads it (http or https only).
    std::string downloadURL;
};

// What reading a feed gave: the newest release, or why there is none.
struct AppcastParseResult {
    std::optional<AppcastItem> newest;
    std::string error; // set when `newest` is absent
};

// Reads an RSS 2.0 update feed: <rss><channel><item>... Each item names its
// version in a child element or an <enclosure> attribute whose local name is
// "version" (any namespace prefix, e.g. <zelvo:version>), and its download
// page in <link> (else the enclosure's url). Items lacking either, or with a
// link that is not http(s), are skipped; the newest is the one with the
// highest version. Document type declarations are refused, so no entity of
// the document can expand.
AppcastParseResult parseAppcast(std::string_view xml);

} // namespace app
