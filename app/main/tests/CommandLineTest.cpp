// `zelvo` as a user starts it from a terminal: help, version, wrong usage and
// no usable X11 display all end before Qt starts.
#include "platform/linux/testing/RunProgram.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

using zelvo::testing::ProgramEnvironment;
using zelvo::testing::runProgram;

// Qt's platform plugin is never reached: were it, its own abort text would
// appear on stderr instead of (or besides) Zelvo's one line.
const ProgramEnvironment kNoDisplay{{}, {"DISPLAY", "WAYLAND_DISPLAY"}};

TEST(ZelvoCommandLine, HelpAndVersionWorkWithoutADisplay) {
    auto help = runProgram({ZELVO_BINARY, "--help"}, kNoDisplay);
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.err, "");
    EXPECT_EQ(help.out.rfind("usage: zelvo", 0), 0u) << help.out;
    // The help lists the environment the README documents.
    for (const char* variable :
         {"DISPLAY", "ZELVO_APP_SECRET", "ZELVO_WEBSITE_URL", "ZELVO_CONTACT_URL", "ZELVO_BETA_FORM_URL",
          "ZELVO_APPCAST_URL", "ZELVO_LOG_URL", "ZELVO_COLLECTOR_URL", "ZELVO_EXTRA_CA_FILE", "ZELVO_DEBUG_STATE_FILE"})
        EXPECT_NE(help.out.find(variable), std::string::npos) << variable;
    EXPECT_EQ(runProgram({ZELVO_BINARY, "-h"}, kNoDisplay).out, help.out);

    for (const char* option : {"--version", "-V"}) {
        auto version = runProgram({ZELVO_BINARY, option}, kNoDisplay);
        EXPECT_EQ(version.status, 0) << option;
        EXPECT_EQ(version.out, "zelvo " ZELVO_VERSION "\n") << option;
        EXPECT_EQ(version.err, "") << option;
    }
}

TEST(ZelvoCommandLine, WrongUsageExits64WithTheUsageOnStderr) {
    for (const char* argument : {"--bogus", "-platform", "extra"}) {
        auto run = runProgram({ZELVO_BINARY, argument}, kNoDisplay);
        EXPECT_EQ(run.status, 64) << argument;
        EXPECT_EQ(run.out, "") << argument;
        EXPECT_NE(run.err.find(argument), std::string::npos) << run.err;
        EXPECT_NE(run.err.find("usage: zelvo"), std::string::npos) << run.err;
    }
}

TEST(ZelvoCommandLine, NoUsableDisplayIsOneClearLineAndExit1) {
    const std::string works =
        "; Zelvo needs an X11 session or a wlroots compositor (sway, Hyprland, labwc, niri, wayfire, river)\n";
    const char* runtime = "/tmp/zelvo-command-line-runtime";
    struct Case {
        std::vector<std::string> arguments;
        ProgramEnvironment environment;
        std::string err;
    } cases[] = {
        {{ZELVO_BINARY}, kNoDisplay, "zelvo: no display: neither WAYLAND_DISPLAY nor DISPLAY is set" + works},
        // Names of servers that do not run (no socket of that name).
        {{ZELVO_BINARY},
         {{{"DISPLAY", ":4711"}, {"WAYLAND_DISPLAY", "no-such-compositor"}, {"XDG_RUNTIME_DIR", runtime}}, {}},
         "zelvo: no display: cannot connect to the Wayland compositor \"no-such-compositor\" nor open the X11 "
         "display \":4711\"" +
             works},
        // The hand-over of the hot key finds nobody to hand to.
        {{ZELVO_BINARY, "--show"},
         {{{"DISPLAY", ":4711"}, {"XDG_RUNTIME_DIR", runtime}}, {"WAYLAND_DISPLAY"}},
         "zelvo: Zelvo is not running in this session; start it first\n"},
        {{ZELVO_BINARY, "--show", "--reverse"},
         {{{"WAYLAND_DISPLAY", "wayland-4711"}, {"XDG_RUNTIME_DIR", runtime}}, {"DISPLAY"}},
         "zelvo: Zelvo is not running in this session; start it first\n"},
    };
    std::filesystem::create_directories(runtime);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.err);
        auto run = runProgram(c.arguments, c.environment);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.err, c.err);
        EXPECT_EQ(run.out, "");
    }
}

} // namespace
