// The process entry: the front end is chosen here, where all three are linked in.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <unistd.h>

#include "runtime/frame.h"
#include "runtime/frontend_headless.h"
#include "runtime/frontend_terminal.h"
#include "runtime/frontend_window.h"

namespace rt {

namespace {

bool displayAvailable() {
    const char* display = std::getenv("DISPLAY");
    return display != nullptr && display[0] != '\0';
}

// Without a choice of the user's, the window means an X11 window: SDL would otherwise fall back
// to drivers that draw ASCII art into the terminal or take over the console.
void preferX11() {
    setenv("SDL_VIDEODRIVER", "x11", 0);
}

constexpr const char* kUsage =
    "Usage: %s [--window [--scale N] | --terminal | --headless [--transcript FILE|-]\n"
    "       [--on-error stop|continue|keys]] [--help] [--version]\n";

constexpr const char* kHelp = R"(
The solubility of CO2 in pure water from -1.48 to 100 C and 0.1 to 100 MPa, with the properties of
pure water, pure CO2, CO2 at infinite dilution and the solution, on an 80 x 25 text screen.

Front ends (without one: the window when a display is set, else the terminal when standard input
and output are terminals, else headless):
  --window              an SDL window
  --scale N             the window's pixels N times (default: from the display's size)
  --terminal            the same screen in a terminal of at least 80 x 25
  --headless            keys from standard input, one byte a key (for scripts)
  --transcript FILE     headless: write the rows that scroll away and the last screen to FILE
                        ('-': standard output)
  --on-error POLICY     headless, when an error box appears: stop (the default: end with status 3,
                        the box on standard error), continue (answer Yes), keys (the next byte answers)
  --help, --version     print this text or the version, and exit

Keys: Enter keeps the old value at a prompt; Break, Ctrl+C or closing the window end the program;
Pause holds it until the next key; Shift+PgUp and Shift+PgDn (or the mouse wheel) show the rows
that scrolled away; Alt+Enter switches the window to full screen.

Files: every report is appended to CO2out.txt in the current directory, whole lines ending in CR LF.

Exit status: 0 normally and after error boxes; 1 when a headless run lost text it should have
written; 2 for a command line not understood; 3 when a headless run stopped at an error box;
128 + the signal's number after SIGINT, SIGTERM or SIGHUP; 100 when the window cannot start.

The manual: man co2calc; co2table computes the same model over grids (man co2table).
)";

} // namespace

int runProcess(int argc, char** argv, ProgramMain programMain, const char* reportFile) {
    const FrontendOptions options = parseFrontendOptions(argc, argv);
    const char* program = argc > 0 && argv[0] != nullptr ? argv[0] : "co2calc";
    if (!options.error.empty()) {
        std::fprintf(stderr, "%s: %s\n", program, options.error.c_str());
        std::fprintf(stderr, kUsage, program);
        std::fprintf(stderr, "Try '%s --help' for more.\n", program);
        return 2;
    }
    if (options.help) {
        std::printf(kUsage, program);
        std::fputs(kHelp, stdout);
        return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
    }
    if (options.version) {
        std::printf("co2calc %s\n", CO2_VERSION);
        return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
    }

    FrontendKind kind = options.kind;
    if (kind == FrontendKind::automatic && (!options.transcriptPath.empty() || options.onErrorGiven))
        kind = FrontendKind::headless;

    std::unique_ptr<Frontend> frontend;
    if (kind == FrontendKind::window || (kind == FrontendKind::automatic && displayAvailable())) {
        const bool driverChosen = std::getenv("SDL_VIDEODRIVER") != nullptr;
        if (!driverChosen) preferX11();
        frontend = std::make_unique<WindowFrontend>(options.scale);
        if (const int code = frontend->start(); code != 0) {
            if (kind == FrontendKind::window) return code;
            frontend.reset(); // no usable display after all: fall back below
            if (!driverChosen) unsetenv("SDL_VIDEODRIVER");
        }
    }
    if (!frontend) {
        if (kind == FrontendKind::terminal ||
            (kind == FrontendKind::automatic && isatty(STDIN_FILENO) && isatty(STDOUT_FILENO))) {
            frontend = std::make_unique<TerminalFrontend>(STDIN_FILENO, STDOUT_FILENO);
        } else {
            auto headless =
                std::make_unique<HeadlessFrontend>(STDIN_FILENO, STDERR_FILENO, options.transcriptPath);
            headless->setErrorPolicy(options.onError);
            if (reportFile != nullptr) headless->setReportFile(reportFile);
            frontend = std::move(headless);
        }
        if (const int code = frontend->start(); code != 0) return code;
    }
    return runFrame(*frontend, programMain);
}

} // namespace rt
