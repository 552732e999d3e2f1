#include "run_chipid.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <system_error>

#include "chipid_command.h"

namespace {

// The report's file with StdoutTo::kFile, in the run's directory.
constexpr const char* kReportFile = "chipid-report.out";

[[noreturn]] void throwErrno(const char* what)
{
    throw std::system_error(errno, std::generic_category(), what);
}

// Runs in the forked child: only async-signal-safe calls until exec.
[[noreturn]] void execChild(const std::filesystem::path& dir, const RunOptions& options,
                            int outWrite, int errWrite, char* const argv[])
{
    if (chdir(dir.c_str()) != 0) {
        _exit(126);
    }
    int stdoutFd = -1;
    switch (options.stdoutTo) {
        case StdoutTo::kOwnPipe:
            stdoutFd = outWrite;
            break;
        case StdoutTo::kStderrPipe:
            stdoutFd = errWrite;
            break;
        case StdoutTo::kFile:
            stdoutFd = open(kReportFile, O_WRONLY | O_CREAT | O_TRUNC, 0600);
            break;
        case StdoutTo::kDevFull:
            stdoutFd = open("/dev/full", O_WRONLY);
            break;
        case StdoutTo::kClosed:
            break;
    }
    int stderrFd = -1;
    switch (options.stderrTo) {
        case StderrTo::kOwnPipe:
            stderrFd = errWrite;
            break;
        case StderrTo::kDevFull:
            stderrFd = open("/dev/full", O_WRONLY);
            break;
        case StderrTo::kClosed:
            break;
    }
    // Both are placed before either is closed, so that a descriptor just
    // opened cannot land on 1 or 2 by accident.
    if (stdoutFd >= 0) {
        dup2(stdoutFd, STDOUT_FILENO);
    }
    if (stderrFd >= 0) {
        dup2(stderrFd, STDERR_FILENO);
    }
    if (stdoutFd < 0) {
        close(STDOUT_FILENO);
    }
    if (stderrFd < 0) {
        close(STDERR_FILENO);
    }
    // No standard input: the tool must not need one. The pipes' own
    // descriptors close on exec.
    close(STDIN_FILENO);
    execvp(argv[0], argv);
    _exit(127);
}

// The chipid the tests run: this build's unless the environment names
// another.
std::string chipidUnderTest()
{
    const char* chosen = std::getenv("CHIPID_UNDER_TEST");
    return chosen != nullptr && *chosen != '\0' ? chosen : CHIPID_EXECUTABLE;
}

}  // namespace

namespace {

bool chipidRunsOn(std::string_view wanted)
{
    const char* system = std::getenv("CHIPID_UNDER_TEST_SYSTEM");
    return system != nullptr && std::string_view(system) == wanted;
}

}  // namespace

bool chipidRunsOnWindows()
{
    return chipidRunsOn("Windows");
}

bool chipidRunsOnWebAssembly()
{
    return chipidRunsOn("WebAssembly");
}

std::ostream& operator<<(std::ostream& os, StdoutTo stdoutTo)
{
    switch (stdoutTo) {
        case StdoutTo::kOwnPipe:
            return os << "OwnPipe";
        case StdoutTo::kStderrPipe:
            return os << "StderrPipe";
        case StdoutTo::kFile:
            return os << "File";
        case StdoutTo::kDevFull:
            return os << "DevFull";
        case StdoutTo::kClosed:
            return os << "Closed";
    }
    return os << "StdoutTo(" << static_cast<int>(stdoutTo) << ")";
}

std::ostream& operator<<(std::ostream& os, StderrTo stderrTo)
{
    switch (stderrTo) {
        case StderrTo::kOwnPipe:
            return os << "OwnPipe";
        case StderrTo::kDevFull:
            return os << "DevFull";
        case StderrTo::kClosed:
            return os << "Closed";
    }
    return os << "StderrTo(" << static_cast<int>(stderrTo) << ")";
}

RunResult runChipid(const std::filesystem::path& dir, const RunOptions& options)
{
    // A cross build's chipid runs through its emulator.
    std::vector<std::string> argStrings{CHIPID_EMULATOR};
    argStrings.push_back(std::filesystem::absolute(chipidUnderTest()).string());
    argStrings.insert(argStrings.end(), options.args.begin(), options.args.end());
    std::vector<char*> argv;
    for (auto& arg : argStrings) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);

    std::array<int, 2> outPipe{};
    std::array<int, 2> errPipe{};
    if (pipe2(outPipe.data(), O_CLOEXEC) != 0 || pipe2(errPipe.data(), O_CLOEXEC) != 0) {
        throwErrno("pipe2");
    }
    const pid_t pid = fork();
    if (pid < 0) {
        throwErrno("fork");
    }
    if (pid == 0) {
        execChild(dir, options, outPipe[1], errPipe[1], argv.data());
    }
    close(outPipe[1]);
    close(errPipe[1]);

    RunResult result;
    const bool sharedPipe = options.stdoutTo == StdoutTo::kStderrPipe;
    std::array<pollfd, 2> fds{pollfd{outPipe[0], POLLIN, 0}, pollfd{errPipe[0], POLLIN, 0}};
    std::array<std::string*, 2> sinks{&result.out, sharedPipe ? &result.out : &result.err};
    std::array<char, 65536> chunk{};
    int open = 2;
    while (open > 0) {
        if (poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            throwErrno("poll");
        }
        for (std::size_t i = 0; i < fds.size(); ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) {
                continue;
            }
            const ssize_t n = read(fds[i].fd, chunk.data(), chunk.size());
            if (n > 0) {
                sinks[i]->append(chunk.data(), static_cast<std::size_t>(n));
            } else if (n == 0 || errno != EINTR) {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }

    int waitStatus = 0;
    rusage usage{};
    while (wait4(pid, &waitStatus, 0, &usage) < 0) {
        if (errno != EINTR) {
            throwErrno("wait4");
        }
    }
    result.status = WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : 128 + WTERMSIG(waitStatus);
    result.peakRssKiB = usage.ru_maxrss;
    if (options.stdoutTo == StdoutTo::kFile) {
        std::ifstream report(dir / kReportFile, std::ios::binary);
        result.out.assign(std::istreambuf_iterator<char>(report), {});
    }
    return result;
}

RunResult runChipid(const std::filesystem::path& dir, StdoutTo stdoutTo)
{
    RunOptions options;
    options.stdoutTo = stdoutTo;
    return runChipid(dir, options);
}

TempDir::TempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "chipid-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throwErrno("mkdtemp");
    }
    path = pattern;
}

TempDir::~TempDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}

void writeFile(const std::filesystem::path& file, std::string_view bytes)
{
    std::ofstream stream(file, std::ios::binary);
    stream.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!stream.flush()) {
        throw std::runtime_error("cannot write " + file.string());
    }
}
