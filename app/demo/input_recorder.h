// input_recorder.h -- cave-demo --record: the key and mouse messages the system receives, written as an
// input script that --script replays
#pragma once

#include <cstdio>
#include <string>

#include "app/demo/input_script.h"
#include "platform/win32.h"

// The script event of a message as the system received it while frame `frame` was next to start:
// WM_KEYDOWN / WM_KEYUP of a key that scripts know (scriptKeyName), WM_LBUTTONDOWN, WM_MOUSEMOVE and
// WM_LBUTTONUP at the client pixel of lParam, each 16-bit half read as a signed value (a position left of
// or above the client area shows as negative; replaying packs the same lParam). False for every other
// message (other keys, which the system does not look at, and messages that are not input).
bool scriptEventOfMessage(const MSG& msg, int frame, ScriptEvent& event);

// Writes the messages of a run as an input script, one line per event as formatScriptEvent gives it, after
// a comment line that names the file's use. Each line is flushed as it is written, so that the file holds
// every event so far even when the program ends abnormally (the session a user wants to report).
class InputRecorder {
  public:
    InputRecorder() = default;
    ~InputRecorder();
    InputRecorder(const InputRecorder&) = delete;
    InputRecorder& operator=(const InputRecorder&) = delete;

    // Creates (truncates) the file and writes the comment line. False with `error` set when it cannot.
    bool open(const std::string& path, std::string& error);
    bool isOpen() const { return file_ != nullptr; }

    // Appends the line of the message's script event for `frame` (scriptEventOfMessage). Returns true when
    // a line was written; false for a message with no script event or when the recorder is not open.
    bool record(const MSG& msg, int frame);

    int eventsWritten() const { return events_; }

    // Writes a closing comment with the number of frames presented and closes the file. False with `error`
    // set when a write failed on the way.
    bool close(int framesPresented, std::string& error);

  private:
    std::FILE* file_ = nullptr;
    std::string path_;
    int events_ = 0;
};
