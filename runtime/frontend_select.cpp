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

} // namespace

int runProcess(int argc, char** argv, ProgramMain programMain, const ProgramText& text) {
    installStartupSignals();
    const FrontendOptions options = parseFrontendOptions(argc, argv);
    const char* program = argc > 0 && argv[0] != nullptr ? argv[0] : text.name;
    if (!options.error.empty()) {
        std::fprintf(stderr, "%s: %s\n", program, options.error.c_str());
        std::fprintf(stderr, kUsage, program);
        std::fprintf(stderr, "Try '%s --help' for more.\n", program);
        return 2;
    }
    if (options.help) {
        std::printf(kUsage, program);
        std::fputs(text.help, stdout);
        return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
    }
    if (options.version) {
        std::printf("%s %s\n", text.name, text.version);
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
    // Stopped before a front end takes the terminal: nothing to do and nothing to give back.
    if (const int signal = startupSignal(); signal != 0 && !frontend) return 128 + signal;
    if (!frontend) {
        if (kind == FrontendKind::terminal ||
            (kind == FrontendKind::automatic && isatty(STDIN_FILENO) && isatty(STDOUT_FILENO))) {
            frontend = std::make_unique<TerminalFrontend>(STDIN_FILENO, STDOUT_FILENO);
        } else {
            auto headless =
                std::make_unique<HeadlessFrontend>(STDIN_FILENO, STDERR_FILENO, options.transcriptPath);
            headless->setErrorPolicy(options.onError);
            if (text.reportFile != nullptr) headless->setReportFile(text.reportFile);
            frontend = std::move(headless);
        }
        if (const int code = frontend->start(); code != 0) return code;
    }
    return runFrame(*frontend, programMain);
}

} // namespace rt
