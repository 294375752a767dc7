#pragma once
// The files an installation of Zelvo holds, relative to its prefix.

#include <string>
#include <vector>

namespace zelvo::testing {

inline const std::vector<int> kIconSizes = {16, 22, 24, 32, 48, 64, 128, 256};

inline std::vector<std::string> installedFiles(const std::string& appId) {
    std::vector<std::string> files = {
        "bin/zelvo",
        "bin/zelvo-crashreport",
        "share/zelvo/Hotkeys_Hotkeys.bundle/en.lproj/Localizable.json",
        "share/applications/" + appId + ".desktop",
        "share/metainfo/" + appId + ".metainfo.xml",
        "share/icons/hicolor/scalable/apps/" + appId + ".svg",
        "share/man/man1/zelvo.1.gz",
        "share/man/man1/zelvo-crashreport.1.gz",
        "share/doc/zelvo/copyright",
        "share/doc/zelvo/changelog.gz",
    };
    for (int size : kIconSizes)
        files.push_back("share/icons/hicolor/" + std::to_string(size) + "x" + std::to_string(size) + "/apps/" + appId +
                        ".png");
    return files;
}

} // namespace zelvo::testing
