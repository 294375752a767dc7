#include "platform/linux/shortcuts/LinuxShortcutHost.h"
#include "platform/linux/shortcuts/TextFiles.h"
#include "platform/linux/testing/RunProgram.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace platform::shortcuts {
namespace {

const ShortcutKeys kAltTab{48, 0x800, "Alt+Tab"};
const ShortcutKeys kSuperShiftGrave{50, 0x100 | 0x200, "Super+Shift+`"};

// Records every program run and answers from a script keyed by the program.
struct ScriptedPrograms {
    std::vector<std::vector<std::string>> runs;
    std::map<std::string, ProgramResult> answers;
    ProgramRunner runner() {
        return [this](const std::vector<std::string>& argv) {
            runs.push_back(argv);
            auto it = answers.find(argv[0]);
            return it == answers.end() ? ProgramResult{true, 0, {}} : it->second;
        };
    }
};

class RecipesTest : public ::testing::Test {
protected:
    void SetUp() override {
        context.run = programs.runner();
        context.home = dir;
        context.configHome = dir / "config";
        context.findProgram = [](const std::string&) { return pid_t(4242); };
        context.pause = [](std::chrono::milliseconds) {};
    }

    std::unique_ptr<ShortcutHost> host(const std::string& name, bool compositor) {
        auto recipe = compositor ? compositorRecipe(name, context) : windowManagerRecipe(name, context);
        return std::make_unique<LinuxShortcutHost>(name, compositor, defaults, std::move(recipe));
    }

    zelvo::testing::TemporaryFolder temporary;
    const std::filesystem::path dir = temporary.path;
    ScriptedPrograms programs;
    RecipeContext context;
    UserDefaults defaults;
};

// The spelling each compositor reads: the commands of the IPC bindings and
// the lines users add to their configuration.
TEST_F(RecipesTest, CompositorsGetTheCombinationInTheirOwnSpelling) {
    struct Case {
        const char* compositor;
        ShortcutKeys keys;
        std::vector<std::string> bind; // empty: a configuration line instead
        std::string line;
    };
    const std::vector<Case> cases = {
        {"sway", kAltTab, {"swaymsg", "--", "bindsym", "--no-warn", "Mod1+Tab", "exec", "zelvo --show"}, ""},
        {"sway",
         kSuperShiftGrave,
         {"swaymsg", "--", "bindsym", "--no-warn", "Mod4+Shift+grave", "exec", "zelvo --show"},
         ""},
        {"Hyprland", kAltTab, {"hyprctl", "keyword", "bind", "ALT,Tab,exec,zelvo --show"}, ""},
        {"Hyprland", kSuperShiftGrave, {"hyprctl", "keyword", "bind", "SUPER SHIFT,grave,exec,zelvo --show"}, ""},
        {"labwc", kAltTab, {}, R"(<keybind key="A-Tab"><action name="Execute" command="zelvo --show"/></keybind>)"},
        {"niri", kSuperShiftGrave, {}, R"(Super+Shift+grave { spawn "zelvo" "--show"; })"},
        {"river", kAltTab, {}, "riverctl map normal Alt Tab spawn 'zelvo --show'"},
        {"wayfire", kAltTab, {}, "[command]\nbinding_zelvo = <alt> KEY_TAB\ncommand_zelvo = zelvo --show"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.compositor) + " " + c.keys.displayName);
        auto h = host(c.compositor, true);
        programs.runs.clear();
        ASSERT_EQ(h->canTakeOver(c.keys), !c.bind.empty());
        if (c.bind.empty()) {
            EXPECT_EQ(h->configLine(c.keys), c.line);
            EXPECT_NE(h->takeOverDescription(c.keys).find(h->configFile()), std::string::npos);
            continue;
        }
        ASSERT_EQ(h->takeOver(c.keys), "");
        ASSERT_EQ(programs.runs.size(), 1u);
        EXPECT_EQ(programs.runs[0], c.bind);
        ASSERT_EQ(h->giveBack(), "");
        EXPECT_FALSE(h->takenOver());
    }
}

// A compositor binding lasts for its session: made again at each start, and
// moved when the shortcut changes; a window manager's change is made once.
TEST_F(RecipesTest, SessionBindingsAreRenewedAndFollowTheShortcut) {
    auto sway = host("sway", true);
    sway->renew(kAltTab);
    EXPECT_TRUE(programs.runs.empty()) << "nothing bound before the user agreed";
    ASSERT_EQ(sway->takeOver(kAltTab), "");
    auto restarted = host("sway", true);
    programs.runs.clear();
    restarted->renew(kSuperShiftGrave);
    ASSERT_EQ(programs.runs.size(), 2u);
    EXPECT_EQ(programs.runs[0], (std::vector<std::string>{"swaymsg", "--", "unbindsym", "Mod1+Tab"}));
    EXPECT_EQ(programs.runs[1][4], "Mod4+Shift+grave");
    EXPECT_EQ(restarted->takenOver(), kSuperShiftGrave);
    EXPECT_FALSE(host("Hyprland", true)->takenOver()) << "a record of another program is not this one's";

    programs.answers["swaymsg"] = {true, 1, {}};
    EXPECT_NE(host("sway", true)->takeOver(kAltTab), "") << "a refused binding is reported";
}

// Each window manager's file or settings lose exactly the combination's
// bindings, and giving back restores them as they were.
TEST_F(RecipesTest, WindowManagerFilesLoseOnlyTheCombinationAndGetItBack) {
    const std::string openbox =
        "<keyboard>\n"
        "  <keybind key=\"A-Tab\"><action name=\"NextWindow\"/></keybind>\n"
        "  <keybind key=\"S-A-Tab\"><action name=\"PreviousWindow\"/></keybind>\n"
        "  <keybind key=\"C-a\"><keybind key=\"A-Tab\"><action name=\"X\"/></keybind></keybind>\n"
        "  <keybind key=\"mod1-tab\"/>\n"
        "</keyboard>\n";
    const std::string fluxbox = "Mod1 Tab :NextWindow {groups}\nMod1 Shift Tab :PrevWindow\n# Mod1 Tab :Old\n";
    const std::string icewm = "KeySysSwitchLast=\"Alt+Shift+Tab\"\nTaskBarClockLeds=1\n";
    struct Case {
        const char* program;
        std::filesystem::path file;
        std::string before;
        std::vector<std::string> gone; // texts no longer bound after the take-over
        std::vector<std::string> kept;
        std::string reload;
    };
    const std::vector<Case> cases = {
        {"Openbox", "config/openbox/rc.xml", openbox, {"NextWindow", "mod1-tab"}, {"S-A-Tab", "C-a"}, "openbox"},
        {"Fluxbox",
         ".fluxbox/keys",
         fluxbox,
         {"\nMod1 Tab :NextWindow"},
         {"Mod1 Shift Tab", "# Mod1 Tab :Old"},
         "kill"},
        {"IceWM 3.3.1 (Linux/x86_64)", "config/icewm/preferences", icewm, {}, {"Alt+Shift+Tab"}, "icewm"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.program);
        const auto file = dir / c.file;
        ASSERT_TRUE(writeText(file, c.before));
        programs.runs.clear();
        auto h = host(c.program, false);
        ASSERT_TRUE(h->canTakeOver(kAltTab));
        ASSERT_EQ(h->takeOver(kAltTab), "");
        const std::string after = *readText(file);
        for (const auto& text : c.gone) EXPECT_EQ(("\n" + after).find(text), std::string::npos) << after;
        for (const auto& text : c.kept) EXPECT_NE(after.find(text), std::string::npos) << after;
        EXPECT_EQ(!programs.runs.empty() && programs.runs.back()[0] == c.reload, !c.reload.empty());
        ASSERT_EQ(host(c.program, false)->giveBack(), "");
        EXPECT_EQ(*readText(file), c.before);
        EXPECT_FALSE(h->takenOver());
    }
    // Changed settings the window manager failed to read stay on record, so
    // that giving back still restores them.
    ASSERT_TRUE(writeText(dir / "config/openbox/rc.xml", openbox));
    programs.answers["openbox"] = {true, 1, {}};
    EXPECT_NE(host("Openbox", false)->takeOver(kAltTab), "");
    EXPECT_TRUE(host("Openbox", false)->takenOver());
    host("Openbox", false)->giveBack();
    EXPECT_EQ(*readText(dir / "config/openbox/rc.xml"), openbox);
    // IceWM binds Alt+Tab without any line: taking it over writes one.
    ASSERT_TRUE(writeText(dir / "config/icewm/preferences", icewm));
    ASSERT_EQ(host("IceWM", false)->takeOver(kAltTab), "");
    EXPECT_NE(readText(dir / "config/icewm/preferences")->find("KeySysSwitchNext=\"\""), std::string::npos);
}

// Window managers whose bindings live in a settings service: the
// combination's entries are cleared through its tool and set back.
TEST_F(RecipesTest, SettingsServiceBindingsAreClearedAndSetBack) {
    struct Case {
        const char* program;
        std::string listing;
        std::vector<std::vector<std::string>> changes;
        std::vector<std::string> restore;
    };
    const std::vector<Case> cases = {
        {"Metacity (Marco)",
         "org.mate.Marco.global-keybindings switch-windows '<Alt>Tab'\n"
         "org.mate.Marco.global-keybindings switch-panels '<Control><Alt>Tab'\n",
         {{"gsettings", "set", "org.mate.Marco.global-keybindings", "switch-windows", "'disabled'"}},
         {"gsettings", "set", "org.mate.Marco.global-keybindings", "switch-windows", "'<Alt>Tab'"}},
        {"Mutter (Muffin)",
         "org.cinnamon.desktop.keybindings.wm switch-windows ['<Alt>Tab', '<Super>Tab']\n",
         {{"gsettings", "set", "org.cinnamon.desktop.keybindings.wm", "switch-windows", "['<Super>Tab']"}},
         {"gsettings", "set", "org.cinnamon.desktop.keybindings.wm", "switch-windows", "['<Alt>Tab', '<Super>Tab']"}},
        {"Xfwm4",
         "/xfwm4/custom/<Alt>Tab      cycle_windows_key\n/xfwm4/custom/<Alt><Shift>Tab  cycle_reverse_windows_key\n"
         "/commands/custom/<Alt>Tab   xterm\n",
         {{"xfconf-query", "-c", "xfce4-keyboard-shortcuts", "-p", "/xfwm4/custom/<Alt>Tab", "-r"}},
         {"xfconf-query", "-c", "xfce4-keyboard-shortcuts", "-p", "/xfwm4/custom/<Alt>Tab", "-n", "-t", "string", "-s",
          "cycle_windows_key"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.program);
        programs.runs.clear();
        programs.answers = {{"gsettings", {true, 0, c.listing}}, {"xfconf-query", {true, 0, c.listing}}};
        auto h = host(c.program, false);
        ASSERT_EQ(h->takeOver(kAltTab), "");
        ASSERT_EQ(programs.runs.size(), 1 + c.changes.size());
        for (std::size_t i = 0; i < c.changes.size(); ++i) EXPECT_EQ(programs.runs[i + 1], c.changes[i]);
        ASSERT_EQ(h->giveBack(), "");
        EXPECT_EQ(programs.runs.back(), c.restore);
    }
    programs.answers["gsettings"] = {true, 0, "org.mate.Marco.global-keybindings switch-windows 'disabled'\n"};
    EXPECT_NE(host("Marco", false)->takeOver(kAltTab), "") << "nothing to take over is no success";
    EXPECT_FALSE(host("KWin", false)->canTakeOver(kAltTab));
    EXPECT_FALSE(host("i3", false)->canTakeOver(kAltTab));
}

} // namespace
} // namespace platform::shortcuts
