#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// The program: its command line, the application object and the one window.
// Thread: window (the main thread, which becomes the window's).
class VocoderApp {
public:
    static constexpr const char* kVersion = "2.0.0";

    struct CommandLine {
        bool help = false;
        bool version = false;
        std::filesystem::path session; // empty: the user's session file
        std::string jackName = "quorvel"; // the JACK client's name
        bool jackConnect = true;          // false: the user's patchbay connects the ports
        std::string error;                // set when the command line makes no sense
    };
    static CommandLine parse(const std::vector<std::string>& args);
    static std::string usage();

    // The manual's first page: installed beside the program, or in the source tree.
    static std::filesystem::path manualPage(const std::filesystem::path& programFolder);

    // Runs the program; returns its exit status.
    static int run(int argc, char** argv);
};
