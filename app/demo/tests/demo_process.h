// demo_process.h -- test helpers: run cave-demo (or any program) as a child process, read its trace
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// What a finished child process left behind.
struct ProcessResult {
    int exitCode = -1; // exit status, or -1 when it was killed by a signal or timed out
    bool timedOut = false;
    std::string out; // everything it wrote to stdout
    std::string err; // everything it wrote to stderr
};

// Runs `args` (args[0] is the program path) in directory `workDir`, with the current environment changed
// by `setEnv` ("NAME=value"). Kills it after `timeoutSeconds`. Its output passes
// through the files .stdout and .stderr of workDir, removed afterwards.
ProcessResult runProcess(const std::vector<std::string>& args, const std::string& workDir,
                         const std::vector<std::string>& setEnv = {}, int timeoutSeconds = 600);

// A started background process (Xvfb); stopped and reaped by stopProcess.
struct BackgroundProcess {
    int pid = -1;
    int display = -1;      // Xvfb: the display number it chose
    bool ownGroup = false; // started in a process group of its own, which stopProcess ends whole
};

// Starts /usr/bin/Xvfb on a free display of its own choosing. Returns pid -1 when Xvfb is not installed
// or did not come up within 30 seconds.
BackgroundProcess startXvfb();
void stopProcess(BackgroundProcess& process);

// Starts `args` (args[0] is the program path) in the background, in a process group of its own, with the
// environment changed by `setEnv` and its output discarded. pid -1 when it cannot be started.
BackgroundProcess startBackground(const std::vector<std::string>& args,
                                  const std::vector<std::string>& setEnv);

// One row of a body trace.
struct TraceRow {
    int frame = 0;
    int body = 0;
    float v[24] = {}; // m00..m22, px, py, pz, vx..vz, wx..wz, fx..fz, tx..tz in header order
    float m(int r, int c) const { return v[3 * r + c]; }
    float p(int axis) const { return v[9 + axis]; }
    float vel(int axis) const { return v[12 + axis]; }
    float omega(int axis) const { return v[15 + axis]; }
};

// A whole trace, rows in file order; `header` is its first line. Returns false with `error` when a row
// does not have 26 fields or a field does not convert completely.
bool readTrace(const std::string& path, std::string& header, std::vector<TraceRow>& rows, std::string& error);

// The whole file as bytes (empty when it cannot be read).
std::string readWholeFile(const std::string& path);

// 64-bit FNV-1a of the bytes, as 16 lowercase hex digits.
std::string fnv1a64(const std::string& bytes);
