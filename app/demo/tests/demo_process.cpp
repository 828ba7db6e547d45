// demo_process.cpp -- child processes for the run tests (fork/exec with captured output), Xvfb, trace reading
#include "app/demo/tests/demo_process.h"

#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

std::vector<std::string> childEnvironment(const std::vector<std::string>& setEnv,
                                          const std::vector<std::string>& unsetEnv) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        std::string entry(*e);
        std::string name = entry.substr(0, entry.find('='));
        bool drop = false;
        for (const std::string& u : unsetEnv)
            drop = drop || name == u;
        for (const std::string& s : setEnv)
            drop = drop || name == s.substr(0, s.find('='));
        if (!drop)
            env.push_back(entry);
    }
    env.insert(env.end(), setEnv.begin(), setEnv.end());
    return env;
}

std::vector<char*> pointers(std::vector<std::string>& strings) {
    std::vector<char*> out;
    for (std::string& s : strings)
        out.push_back(&s[0]);
    out.push_back(nullptr);
    return out;
}

// Reads what is available on fd into out; returns false at end of file.
bool drainFd(int fd, std::string& out) {
    char buf[65536];
    ssize_t n = read(fd, buf, sizeof buf);
    if (n > 0) {
        out.append(buf, static_cast<size_t>(n));
        return true;
    }
    return n < 0 && (errno == EINTR || errno == EAGAIN);
}

}  // namespace

ProcessResult runProcess(const std::vector<std::string>& args, const std::string& workDir,
                         const std::vector<std::string>& setEnv, const std::vector<std::string>& unsetEnv,
                         int timeoutSeconds) {
    ProcessResult result;
    int outPipe[2], errPipe[2];
    if (pipe(outPipe) != 0 || pipe(errPipe) != 0)
        return result;
    std::vector<std::string> argStrings = args;
    std::vector<std::string> envStrings = childEnvironment(setEnv, unsetEnv);
    std::vector<char*> argv = pointers(argStrings);
    std::vector<char*> envp = pointers(envStrings);

    pid_t pid = fork();
    if (pid == 0) {
        dup2(outPipe[1], 1);
        dup2(errPipe[1], 2);
        close(outPipe[0]);
        close(errPipe[0]);
        close(outPipe[1]);
        close(errPipe[1]);
        if (chdir(workDir.c_str()) != 0)
            _exit(126);
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    close(outPipe[1]);
    close(errPipe[1]);
    if (pid < 0) {
        close(outPipe[0]);
        close(errPipe[0]);
        return result;
    }
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    bool outOpen = true, errOpen = true;
    while (outOpen || errOpen) {
        pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
        int ready = poll(fds, 2, 200);
        if (ready > 0) {
            if (outOpen && (fds[0].revents & (POLLIN | POLLHUP | POLLERR)))
                outOpen = drainFd(outPipe[0], result.out);
            if (errOpen && (fds[1].revents & (POLLIN | POLLHUP | POLLERR)))
                errOpen = drainFd(errPipe[0], result.err);
        }
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            result.timedOut = true;
            break;
        }
    }
    close(outPipe[0]);
    close(errPipe[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!result.timedOut && WIFEXITED(status))
        result.exitCode = WEXITSTATUS(status);
    return result;
}

BackgroundProcess startXvfb() {
    BackgroundProcess p;
    const char* candidates[] = {"/usr/bin/Xvfb", "/usr/local/bin/Xvfb", "/bin/Xvfb"};
    const char* xvfb = nullptr;
    for (const char* c : candidates)
        if (access(c, X_OK) == 0)
            xvfb = c;
    if (!xvfb)
        return p;
    int fdPipe[2];
    if (pipe(fdPipe) != 0)
        return p;
    pid_t pid = fork();
    if (pid == 0) {
        close(fdPipe[0]);
        int devnull = open("/dev/null", O_RDWR);
        if (devnull >= 0) {
            dup2(devnull, 0);
            dup2(devnull, 1);
            dup2(devnull, 2);
        }
        std::string fd = std::to_string(fdPipe[1]);
        execl(xvfb, "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten", "tcp",
              static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fdPipe[1]);
    if (pid < 0) {
        close(fdPipe[0]);
        return p;
    }
    p.pid = pid;
    // Xvfb writes the display number and a line end once it accepts connections.
    std::string text;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (text.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
        pollfd fd = {fdPipe[0], POLLIN, 0};
        if (poll(&fd, 1, 200) > 0 && !drainFd(fdPipe[0], text))
            break;
    }
    close(fdPipe[0]);
    if (text.find('\n') == std::string::npos) {
        stopProcess(p);
        return p;
    }
    p.display = std::atoi(text.c_str());
    return p;
}

void stopProcess(BackgroundProcess& process) {
    if (process.pid > 0) {
        kill(process.pid, SIGTERM);
        int status = 0;
        while (waitpid(process.pid, &status, 0) < 0 && errno == EINTR) {
        }
    }
    process.pid = -1;
}

bool readTrace(const std::string& path, std::string& header, std::vector<TraceRow>& rows, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = path + ": cannot open";
        return false;
    }
    std::getline(in, header);
    std::string line;
    int lineNumber = 1;
    while (std::getline(in, line)) {
        ++lineNumber;
        TraceRow row;
        const char* s = line.c_str();
        char* end = nullptr;
        row.frame = static_cast<int>(std::strtol(s, &end, 10));
        bool ok = end != s && *end == ',';
        if (ok) {
            s = end + 1;
            row.body = static_cast<int>(std::strtol(s, &end, 10));
            ok = end != s;
        }
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
    return true;
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
