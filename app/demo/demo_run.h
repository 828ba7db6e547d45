// demo_run.h -- one run of the demonstration as every host makes it: the input script it replays, the body
// trace and the recording it writes, the frame count and limit, the frame loop's hooks that drive them, and
// the screenshot at its end.
//
// A host (cave-demo on SDL, the browser's page, cave-tracecheck on the recorded device, the Windows host)
// keeps only what is its own: where the options come from, its platform's start and stop, and its loop.
//   DemoRun run("cave-demo");
//   if (!run.prepare(options, error, exitCode)) ...      script read, data folder checked
//   if (!run.open(error, exitCode)) ...                  data folder entered, files created
//   start the platform; run.attach();                    hooks and the message observer installed
//   exitCode = run.runWinMain();                         or: run.openWindow(), then run.pass() per pass
//   exitCode = run.finish(exitCode, saveScreenshot);     screenshot, hooks removed, files closed
//   stop the platform
// One run is attached at a time: the hooks are the frame loop's globals.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/demo/body_trace.h"
#include "app/demo/demo_options.h"
#include "app/demo/demo_session.h"
#include "app/demo/input_recorder.h"
#include "app/demo/input_script.h"
#include "app/shell.h"

class DemoRun;

// What every host with a command line does first (demo_options_cli.cpp): reads argv (parseDemoOptions),
// names the files against the directory the host was started in (resolveDemoPaths), and prepares and opens
// `run` on the options. False when the host is to exit at once with `exitCode` (after --help or --version:
// 0; a bad option, script or file: 1 or 2, the reason already on stderr).
bool openDemoRunFromCommandLine(int argc, const char* const* argv, DemoRun& run, int& exitCode);

class DemoRun {
  public:
    // `program` prefixes the run's messages on stderr ("cave-demo: ...").
    explicit DemoRun(const char* program) : program_(program) {}
    ~DemoRun();
    DemoRun(const DemoRun&) = delete;
    DemoRun& operator=(const DemoRun&) = delete;

    // What can be wrong with the inputs, checked before anything of a running run is touched: reads and
    // parses the script and checks that the data folder is one. False with `error` set and exit code 2.
    bool prepare(const DemoOptions& options, std::string& error, int& exitCode);
    // Enters the data folder (exit code 2), creates the trace (1) and the recording (1). The script, trace
    // and recording are named as the host was started (resolveDemoPaths), the data folder's files by their
    // plain names once in it. On failure returns false with `error` and `exitCode` set and nothing open.
    bool open(std::string& error, int& exitCode);

    // Where the run's messages go: a line each, without the program's name (null: stderr, prefixed with
    // it). The page shows them.
    void (*reportLine)(const char* text) = nullptr;

    // The host's own work at the loop's hook points (the browser's timings, cave-tracecheck's pick
    // report), called before the run's own. Set before attach().
    FrameLoopHooks hostHooks;

    // Installs the frame loop's hooks and the platform's message observer (the recording) for this run.
    void attach();

    // The system's own entry: registers the scene classes and runs WinMain to its end. Returns its exit
    // code (a line on stderr when it is not 0).
    int runWinMain();

    // For hosts that drive the passes themselves: registers the scene classes, creates the system's
    // window (its set-up runs) and does what WinMain does before its loop (the trace's frame 0, frame 1's
    // events). Null when the set-up failed.
    HWND openWindow();
    // One pass of the system's message loop (runFramePass): false once WM_QUIT was taken, its wParam in
    // `exitCode`.
    bool pass(int& exitCode);

    // Ends the run: when `exitCode` is 0 and the options name a screenshot, writes it with `save` (false:
    // it failed and said why; the exit code becomes 1); removes the hooks and the observer; closes the
    // trace and the recording (a failure is a line on stderr and exit code 1). Returns the exit code.
    int finish(int exitCode, bool (*save)(const char* pngPath) = nullptr);

    // Closes the trace now, the run going on (the page's trace has a size limit). False with `error` when
    // a write failed on the way.
    bool stopTrace(std::string& error);

    const DemoOptions& options() const { return options_; }
    bool tracing() const { return trace_.isOpen(); }
    bool recording() const { return recorder_.isOpen(); }
    int framesPresented() const { return session_ ? session_->framesPresented() : 0; }
    int stepsTaken() const { return session_ ? session_->stepsTaken() : 0; }

  private:
    void reportError(const std::string& error) const;

    const char* program_;
    DemoOptions options_;
    BodyTrace trace_;
    InputRecorder recorder_;
    std::vector<ScriptEvent> events_; // the script as prepared, until open() hands it to the player
    std::unique_ptr<ScriptPlayer> script_;
    std::unique_ptr<DemoSession> session_;
    bool attached_ = false;
};
