// Runs the built chipid executable in a directory and collects what it
// writes on its two streams, its exit status and its peak memory.
#ifndef CHIPID_TESTS_RUN_CHIPID_H
#define CHIPID_TESTS_RUN_CHIPID_H

#include <filesystem>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

// Where the child's standard output goes.
enum class StdoutTo {
    kOwnPipe,     // its own pipe, apart from standard error
    kStderrPipe,  // the same pipe as standard error, as on a terminal
    kFile,        // a regular file, read back after the run
    kDevFull,     // /dev/full: every write fails
    kClosed,      // no standard output at all
};

// Where the child's standard error goes.
enum class StderrTo {
    kOwnPipe,  // its own pipe
    kDevFull,  // /dev/full: every write fails
    kClosed,   // no standard error at all
};

// Names the destination, for test names and messages.
std::ostream& operator<<(std::ostream& os, StdoutTo stdoutTo);
std::ostream& operator<<(std::ostream& os, StderrTo stderrTo);

struct RunOptions {
    StdoutTo stdoutTo = StdoutTo::kOwnPipe;
    StderrTo stderrTo = StderrTo::kOwnPipe;
    std::vector<std::string> args;
};

struct RunResult {
    std::string out;  // standard output (pipe or file), or both streams with kStderrPipe
    std::string err;  // standard error when it has its own pipe
    int status = -1;  // exit status; 128 + signal number if killed
    long peakRssKiB = 0;
};

// Runs this build's chipid, or the one that the environment variable
// CHIPID_UNDER_TEST names (a packaged or released binary), through the
// build's emulator in a cross build.
RunResult runChipid(const std::filesystem::path& dir, const RunOptions& options = {});
RunResult runChipid(const std::filesystem::path& dir, StdoutTo stdoutTo);

// Whether the chipid under test is a Windows program, run through wine
// (CHIPID_UNDER_TEST_SYSTEM=Windows beside CHIPID_UNDER_TEST), or the
// WebAssembly build, run under Node (=WebAssembly). Where one behaves
// otherwise, a test expects what it does.
bool chipidRunsOnWindows();
bool chipidRunsOnWebAssembly();

// A fresh directory below the system's temporary directory, removed with
// everything in it when the object goes.
struct TempDir {
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::filesystem::path path;
};

void writeFile(const std::filesystem::path& file, std::string_view bytes);

#endif
