#include "app/updates/Appcast.h"

#include "app/updates/Version.h"

#include <expat.h>

#include <string>
#include <vector>

namespace app {

namespace {

std::string_view localName(std::string_view name) {
    auto colon = name.rfind(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

std::string trim(const std::string& s) {
    auto b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos) return {};
    return s.substr(b, s.find_last_not_of(" \t\r\n") - b + 1);
}

bool isWebLink(const std::string& url) {
    auto lower = url.substr(0, 8);
    for (auto& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return (lower.rfind("http://", 0) == 0 && url.size() > 7) || (lower.rfind("https://", 0) == 0 && url.size() > 8);
}

struct Candidate {
    std::string title, version, link, enclosureURL, enclosureVersion;
};

struct Reader {
    XML_Parser parser = nullptr;
    std::vector<std::string> path; // open elements, outermost first
    std::string text;
    Candidate item;
    bool inItem = false;
    bool sawRss = false, sawChannel = false;
    bool refusedDoctype = false;
    std::vector<AppcastItem> items;

    // The element directly inside the current item, if that is where we are.
    bool directlyInItem() const { return inItem && path.size() == 4; }

    void start(const char* name, const char** attributes) {
        path.emplace_back(name);
        text.clear();
        if (path.size() == 1) sawRss = path[0] == "rss";
        if (path.size() == 2 && sawRss && path[1] == "channel") sawChannel = true;
        if (path.size() == 3 && sawChannel && path[1] == "channel" && path[2] == "item") {
            inItem = true;
            item = {};
        }
        if (directlyInItem() && path.back() == "enclosure") {
            for (auto a = attributes; a && a[0]; a += 2) {
                std::string_view key = a[0];
                if (key == "url") item.enclosureURL = trim(a[1]);
                else if (localName(key) == "version") item.enclosureVersion = trim(a[1]);
            }
        }
    }

    void end() {
        if (directlyInItem()) {
            const std::string_view name = path.back();
            if (name == "title") item.title = trim(text);
            else if (name == "link") item.link = trim(text);
            else if (localName(name) == "version") item.version = trim(text);
        }
        if (inItem && path.size() == 3) {
            inItem = false;
            finishItem();
        }
        path.pop_back();
        text.clear();
    }

    void finishItem() {
        AppcastItem out;
        out.title = item.title;
        out.version = !item.version.empty() ? item.version : item.enclosureVersion;
        if (isWebLink(item.link)) out.downloadURL = item.link;
        else if (isWebLink(item.enclosureURL)) out.downloadURL = item.enclosureURL;
        if (out.version.empty() || out.downloadURL.empty()) return;
        items.push_back(std::move(out));
    }
};

} // namespace

AppcastParseResult parseAppcast(std::string_view xml) {
    AppcastParseResult result;
    if (xml.find_first_not_of(" \t\r\n") == std::string_view::npos) {
        result.error = "The update feed is empty.";
        return result;
    }
    Reader reader;
    XML_Parser parser = XML_ParserCreate("UTF-8");
    if (!parser) {
        result.error = "The update feed could not be read (out of memory).";
        return result;
    }
    reader.parser = parser;
    XML_SetUserData(parser, &reader);
    XML_SetElementHandler(
        parser,
        [](void* data, const XML_Char* name, const XML_Char** attributes) {
            static_cast<Reader*>(data)->start(name, attributes);
        },
        [](void* data, const XML_Char*) { static_cast<Reader*>(data)->end(); });
    XML_SetCharacterDataHandler(parser, [](void* data, const XML_Char* s, int len) {
        static_cast<Reader*>(data)->text.append(s, static_cast<std::size_t>(len));
    });
    XML_SetStartDoctypeDeclHandler(parser, [](void* data, const XML_Char*, const XML_Char*, const XML_Char*, int) {
        auto* r = static_cast<Reader*>(data);
        r->refusedDoctype = true;
        XML_StopParser(r->parser, XML_FALSE);
    });

    bool ok = XML_Parse(parser, xml.data(), static_cast<int>(xml.size()), XML_TRUE) == XML_STATUS_OK;
    if (reader.refusedDoctype) {
        result.error = "The update feed declares a document type, which is not allowed.";
    } else if (!ok) {
        result.error = std::string("The update feed is not valid XML: ") + XML_ErrorString(XML_GetErrorCode(parser)) +
                       " at line " + std::to_string(XML_GetCurrentLineNumber(parser)) + ".";
    }
    XML_ParserFree(parser);
    if (!result.error.empty()) return result;

    if (!reader.sawRss || !reader.sawChannel) {
        result.error = "The update feed is not an RSS channel.";
        return result;
    }
    for (auto& item : reader.items) {
        if (!result.newest || compareVersions(item.version, result.newest->version) > 0) result.newest = item;
    }
    if (!result.newest) result.error = "The update feed lists no release with a version and a download link.";
    return result;
}

} // namespace app
