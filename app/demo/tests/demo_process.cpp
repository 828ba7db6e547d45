// demo_process.cpp -- child processes for the run tests (fork/exec, output captured in files), Xvfb, traces
#include "app/demo/tests/demo_process.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

std::vector<char*> pointers(std::vector<std::string>& strings) {
    std::vector<char*> out;
    for (std::string& s : strings)
        out.push_back(&s[0]);
    out.push_back(nullptr);
    return out;
}

// Waits for the child; kills it when the deadline passes. Returns its exit code, or -1.
int waitFor(pid_t pid, int timeoutSeconds, bool& timedOut) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            timedOut = true;
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

namespace {

// The current environment with `setEnv` ("NAME=value") replacing or adding entries.
std::vector<std::string> environmentWith(const std::vector<std::string>& setEnv) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        std::string entry(*e), name = entry.substr(0, entry.find('='));
        bool drop = false;
        for (const std::string& s : setEnv)
            drop = drop || name == s.substr(0, s.find('='));
        if (!drop) env.push_back(entry);
    }
    env.insert(env.end(), setEnv.begin(), setEnv.end());
    return env;
}

} // namespace

ProcessResult runProcess(const std::vector<std::string>& args, const std::string& workDir,
                         const std::vector<std::string>& setEnv, int timeoutSeconds) {
    std::vector<std::string> env = environmentWith(setEnv);
    std::vector<std::string> argStrings = args;
    std::vector<char*> argv = pointers(argStrings), envp = pointers(env);
    const std::string outPath = workDir + "/.stdout", errPath = workDir + "/.stderr";

    ProcessResult result;
    pid_t pid = fork();
    if (pid == 0) {
        int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out < 0 || err < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0 || chdir(workDir.c_str()) != 0)
            _exit(126);
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    if (pid < 0) return result;
    result.exitCode = waitFor(pid, timeoutSeconds, result.timedOut);
    result.out = readWholeFile(outPath);
    result.err = readWholeFile(errPath);
    std::remove(outPath.c_str());
    std::remove(errPath.c_str());
    return result;
}

BackgroundProcess startXvfb() {
    BackgroundProcess p;
    const char* xvfb = "/usr/bin/Xvfb";
    int fdPipe[2];
    if (access(xvfb, X_OK) != 0 || pipe(fdPipe) != 0) return p;
    pid_t pid = fork();
    if (pid == 0) {
        close(fdPipe[0]);
        int devnull = open("/dev/null", O_RDWR);
        dup2(devnull, 0);
        dup2(devnull, 1);
        dup2(devnull, 2);
        // -displayfd: Xvfb picks a free display and writes its number there once it accepts clients.
        std::string fd = std::to_string(fdPipe[1]);
        execl(xvfb, "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten", "tcp",
              static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fdPipe[1]);
    std::string text;
    if (pid > 0) {
        p.pid = pid;
        pollfd ready = {fdPipe[0], POLLIN, 0};
        char buf[32];
        ssize_t n = 0;
        while (text.find('\n') == std::string::npos && poll(&ready, 1, 30000) > 0 &&
               (n = read(fdPipe[0], buf, sizeof buf)) > 0)
            text.append(buf, static_cast<size_t>(n));
    }
    close(fdPipe[0]);
    if (text.find('\n') == std::string::npos)
        stopProcess(p);
    else
        p.display = std::atoi(text.c_str());
    return p;
}

BackgroundProcess startBackground(const std::vector<std::string>& args,
                                  const std::vector<std::string>& setEnv) {
    BackgroundProcess p;
    std::vector<std::string> env = environmentWith(setEnv);
    std::vector<std::string> argStrings = args;
    std::vector<char*> argv = pointers(argStrings), envp = pointers(env);
    pid_t pid = fork();
    if (pid == 0) {
        setpgid(0, 0);
        int devnull = open("/dev/null", O_RDWR);
        dup2(devnull, 0);
        dup2(devnull, 1);
        dup2(devnull, 2);
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    if (pid > 0) {
        setpgid(pid, pid); // also here, so that the group exists whichever of the two runs first
        p.pid = pid;
        p.ownGroup = true;
    }
    return p;
}

void stopProcess(BackgroundProcess& process) {
    if (process.pid > 0) {
        kill(process.ownGroup ? -process.pid : process.pid, SIGTERM);
        waitpid(process.pid, nullptr, 0);
    }
    process.pid = -1;
}

bool readTrace(const std::string& path, std::string& header, std::vector<TraceRow>& rows,
               std::string& error) {
    std::ifstream in(path, std::ios::binary);
    std::getline(in, header);
    std::string line;
    for (int lineNumber = 2; std::getline(in, line); ++lineNumber) {
        TraceRow row;
        const char* s = line.c_str();
        char* end = nullptr;
        row.frame = static_cast<int>(std::strtol(s, &end, 10));
        bool ok = end != s && *end == ',';
        row.body = static_cast<int>(std::strtol(end + 1, &end, 10));
        for (int i = 0; ok && i < 24; ++i) {
            ok = *end == ',';
            s = end + 1;
            row.v[i] = std::strtof(s, &end);
            ok = ok && end != s;
        }
        if (!ok || *end != '\0') {
            error = path + ":" + std::to_string(lineNumber) + ": not a trace row: " + line.substr(0, 80);
            return false;
        }
        rows.push_back(row);
    }
    if (header.empty()) error = path + ": no header";
    return !header.empty();
}

std::string readWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string fnv1a64(const std::string& bytes) {
    uint64_t h = 14695981039346656037ull;
    for (unsigned char c : bytes) {
        h ^= c;
        h *= 1099511628211ull;
    }
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(h));
    return text;
}
