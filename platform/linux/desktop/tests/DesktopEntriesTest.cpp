#include "platform/linux/desktop/DesktopEntries.h"
#include "platform/linux/testing/RunProgram.h"

#include <gtest/gtest.h>


using namespace platform::desktop;
using zelvo::testing::TemporaryFolder;
using zelvo::testing::writeWholeFile;
namespace fs = std::filesystem;

namespace {

// An entry's id, name, Exec, Icon and StartupWMClass in one text; "none"
// when there is no entry.
std::string fields(const std::optional<DesktopEntry>& e) {
    return e ? e->id + "|" + e->name + "|" + e->exec + "|" + e->icon + "|" + e->startupWMClass : "none";
}

} // namespace

TEST(DesktopEntries, ExecArgumentsFollowTheQuotingRules) {
    EXPECT_EQ(execArguments("xterm"), (std::vector<std::string>{"xterm"}));
    EXPECT_EQ(execArguments("  gimp-2.10   %U "), (std::vector<std::string>{"gimp-2.10"}));
    EXPECT_EQ(execArguments(R"("/opt/My App/bin/app" --name "a \"b\"" 100%% %f)"),
              (std::vector<std::string>{"/opt/My App/bin/app", "--name", "a \"b\"", "100%"}));
    // A lone field code does not leave an empty argument behind.
    EXPECT_EQ(execArguments("app %u --x"), (std::vector<std::string>{"app", "--x"}));
    // Shell syntax is not interpreted: it stays literal text.
    EXPECT_EQ(execArguments("app ;rm -rf $HOME"), (std::vector<std::string>{"app", ";rm", "-rf", "$HOME"}));
    EXPECT_TRUE(execArguments(R"(app "unterminated)").empty());
}

TEST(DesktopEntries, LookupByIdThenStartupWMClassEarlierFoldersWin) {
    TemporaryFolder home, system;
    writeWholeFile(home.path / "applications/editor.desktop",
                   "[Desktop Entry]\nName=My Editor\nExec=editor --new %F\nIcon=ed\n"
                   "[Desktop Action New]\nName=Not this one\n");
    writeWholeFile(system.path / "applications/editor.desktop", "[Desktop Entry]\nName=System Editor\nExec=editor\n");
    writeWholeFile(system.path / "applications/debian-xterm.desktop",
                   "# comment\n[Desktop Entry]\r\nName = XTerm\r\nExec=xterm\r\nStartupWMClass=XTerm\r\n");
    writeWholeFile(system.path / "applications/broken.desktop", "Name=No group\n");
    DesktopEntries entries({home.path / "applications", system.path / "applications"});

    EXPECT_EQ(fields(entries.find("editor")), "editor|My Editor|editor --new %F|ed|");
    EXPECT_EQ(entries.find("editor").value().path, home.path / "applications/editor.desktop");

    EXPECT_FALSE(entries.find("broken"));
    EXPECT_FALSE(entries.find("../applications/editor"));
    EXPECT_FALSE(entries.find(""));

    EXPECT_EQ(fields(entries.forCandidates({"XTerm", "xterm"}, {"XTerm", "xterm"})), "debian-xterm|XTerm|xterm||XTerm");
    // An id candidate wins over a StartupWMClass match.
    EXPECT_EQ(fields(entries.forCandidates({"editor", "XTerm"}, {"XTerm"})), "editor|My Editor|editor --new %F|ed|");
    EXPECT_FALSE(entries.forCandidates({"Nothing"}, {"Nothing", ""}));
}

TEST(DesktopEntries, TheNameIsTheBestLocalizedOneForTheLocale) {
    TemporaryFolder dir;
    writeWholeFile(dir.path / "applications/viewer.desktop",
                   "[Desktop Entry]\nName[de]=Betrachter\nName=Viewer\nName[sr@latin]=Preglednik\n"
                   "Name[de_CH]=Aluegger\nName[fr_FR]=Visionneuse\n");
    // The messages locale, the name read.
    const std::pair<const char*, const char*> cases[] = {
        {"", "Viewer"},
        {"C", "Viewer"},
        {"de_DE.UTF-8", "Betrachter"},    // lang_COUNTRY missing: lang
        {"de_CH.UTF-8@euro", "Aluegger"}, // lang_COUNTRY@MODIFIER missing: lang_COUNTRY
        {"sr_RS@latin", "Preglednik"},    // lang@MODIFIER before lang
        {"fr", "Viewer"},                 // lang_COUNTRY only matches a locale with a country
        {"fr_FR", "Visionneuse"},
    };
    for (const auto& [locale, name] : cases) {
        DesktopEntries entries({dir.path / "applications"}, locale);
        EXPECT_EQ(fields(entries.find("viewer")), "viewer|" + std::string(name) + "|||") << locale;
    }
}

TEST(DesktopEntries, AnEntryInstalledAfterAMissIsFound) {
    TemporaryFolder dir;
    fs::create_directories(dir.path / "applications");
    // File times are coarse: the folder's must differ from its time now.
    fs::last_write_time(dir.path / "applications", fs::file_time_type::clock::now() - std::chrono::hours(1));
    DesktopEntries entries({dir.path / "applications"});
    EXPECT_FALSE(entries.forCandidates({"late"}, {"Late"}));
    writeWholeFile(dir.path / "applications/late.desktop", "[Desktop Entry]\nName=Late\n");
    writeWholeFile(dir.path / "applications/other.desktop", "[Desktop Entry]\nName=Other\nStartupWMClass=Tardy\n");
    EXPECT_EQ(fields(entries.find("late")), "late|Late|||");
    EXPECT_EQ(fields(entries.forCandidates({}, {"Tardy"})), "other|Other|||Tardy");
}
