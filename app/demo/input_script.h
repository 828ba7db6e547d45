// input_script.h -- input scripts: key and mouse events by frame number, read from text and posted to the
// window
#pragma once

#include <cstddef>
#include <string>
#include <vector>
#include "platform/core/platform_core.h"

// One line of a script: "FRAME keydown|keyup KEY" or "FRAME mousedown|mousemove|mouseup X Y".
struct ScriptEvent {
    enum Kind { KeyDown, KeyUp, MouseDown, MouseMove, MouseUp };
    int frame = 0; // delivered after frame-1 is presented and before this frame starts; 1 = first frame
    Kind kind = KeyDown;
    int key = 0; // key events: virtual-key code (VK_UP, VK_ESCAPE, ...)
    int x = 0;   // mouse events: client pixels; any int (packed into 16 bits on delivery)
    int y = 0;
    int line = 0; // line of the script it came from, 1-based
};

// Parses a whole script. Blank lines and lines whose first non-blank character is '#' are skipped;
// spaces, tabs and a trailing carriage return separate fields. On the first line that does not parse, or
// whose frame is lower than the previous event's, returns false with `error` set to
// "NAME:LINE: reason" (NAME is `sourceName`) and leaves `events` with the events read before it.
bool parseInputScript(const std::string& text, const std::string& sourceName,
                      std::vector<ScriptEvent>& events, std::string& error);

// Largest script file read (16 MiB, some hundred thousand events): a larger file, or one that never ends
// such as a device, is an error instead of filling the memory.
constexpr size_t MAX_SCRIPT_BYTES = size_t(16) << 20;

// Reads the file and parses it as above; an unreadable file, or one larger than MAX_SCRIPT_BYTES, is an
// error naming it.
bool loadInputScript(const std::string& path, std::vector<ScriptEvent>& events, std::string& error);

// The script's name of a virtual-key code ("up", "down", "left", "right", "space", "shift", "escape"), or
// null for a key that scripts do not know.
const char* scriptKeyName(int virtKey);

// The line of an event as a script writes it, without the line end: "FRAME keydown KEY",
// "FRAME mousemove X Y" and so on; parseInputScript reads it back to the same event. An event whose key
// has no script name gives the empty text.
std::string formatScriptEvent(const ScriptEvent& event);

// Delivers a parsed script frame by frame, in file order.
class ScriptPlayer {
  public:
    explicit ScriptPlayer(std::vector<ScriptEvent> events) : events_(std::move(events)) {}

    // Posts, to the input window, every event not yet posted whose frame is at most `frame`
    // (platformPostKey / platformPostMouseMove / platformPostMouseButton). Returns how many were posted.
    int postThrough(int frame);

    // Events not yet posted.
    int pending() const { return static_cast<int>(events_.size()) - next_; }

  private:
    std::vector<ScriptEvent> events_;
    int next_ = 0;
};
