// input_script_fuzz.cpp -- fuzz target of the input-script parser
#include <cstdint>
#include <string>
#include <vector>

#include "app/demo/input_script.h"
#include "fuzz_check.h"
#include "platform/win32.h"

namespace {

const char* KindName(ScriptEvent::Kind kind) {
    switch (kind) {
    case ScriptEvent::KeyDown:
        return "keydown";
    case ScriptEvent::KeyUp:
        return "keyup";
    case ScriptEvent::MouseDown:
        return "mousedown";
    case ScriptEvent::MouseMove:
        return "mousemove";
    case ScriptEvent::MouseUp:
        return "mouseup";
    }
    return "?";
}

const char* KeyName(int key) {
    switch (key) {
    case VK_UP:
        return "up";
    case VK_DOWN:
        return "down";
    case VK_LEFT:
        return "left";
    case VK_RIGHT:
        return "right";
    case VK_SPACE:
        return "space";
    case VK_SHIFT:
        return "shift";
    case VK_ESCAPE:
        return "escape";
    }
    return nullptr;
}

// The events written back as a script, one plain line each.
std::string Written(const std::vector<ScriptEvent>& events) {
    std::string text;
    for (const ScriptEvent& e : events) {
        text += std::to_string(e.frame) + " " + KindName(e.kind);
        if (e.kind == ScriptEvent::KeyDown || e.kind == ScriptEvent::KeyUp)
            text += std::string(" ") + KeyName(e.key);
        else
            text += " " + std::to_string(e.x) + " " + std::to_string(e.y);
        text += "\n";
    }
    return text;
}

bool SameEvents(const std::vector<ScriptEvent>& a, const std::vector<ScriptEvent>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        bool key = a[i].kind == ScriptEvent::KeyDown || a[i].kind == ScriptEvent::KeyUp;
        if (a[i].frame != b[i].frame || a[i].kind != b[i].kind || (key && a[i].key != b[i].key) ||
            (!key && (a[i].x != b[i].x || a[i].y != b[i].y)))
            return false;
    }
    return true;
}

// Lines as the parser counts them: std::getline pieces, a last piece without "\n" included.
size_t LineCount(const std::string& text) {
    size_t lines = 0;
    for (char c : text)
        lines += c == '\n';
    return lines + (!text.empty() && text.back() != '\n');
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<ScriptEvent> events;
    std::string error;
    bool ok = parseInputScript(text, "script", events, error);
    size_t lines = LineCount(text);

    int lastFrame = 1, lastLine = 0;
    for (const ScriptEvent& e : events) {
        FUZZ_CHECK(e.frame >= lastFrame, "frame numbers never decrease, starting at 1");
        FUZZ_CHECK(e.line > lastLine && static_cast<size_t>(e.line) <= lines, "events in line order");
        bool key = e.kind == ScriptEvent::KeyDown || e.kind == ScriptEvent::KeyUp;
        FUZZ_CHECK(!key || KeyName(e.key) != nullptr, "key events carry one of the seven keys");
        lastFrame = e.frame;
        lastLine = e.line;
    }

    if (ok) {
        FUZZ_CHECK(error.empty(), "success leaves the error empty");
    } else {
        // "script:LINE: reason", short and printable whatever the line held.
        FUZZ_CHECK(error.compare(0, 7, "script:") == 0, "the error names the script");
        size_t colon = error.find(':', 7);
        FUZZ_CHECK(colon != std::string::npos && colon > 7, "the error names the line");
        long line = std::stol(error.substr(7, colon - 7));
        FUZZ_CHECK(line >= 1 && static_cast<size_t>(line) <= lines && line > lastLine,
                   "a line of the script");
        FUZZ_CHECK(error.size() <= 200, "the error is short");
        for (unsigned char c : error)
            FUZZ_CHECK(c >= 0x20 && c < 0x7F, "the error is printable");
        // The events before the bad line are those of the script cut just before it.
        size_t start = 0;
        for (long l = 1; l < line; ++l)
            start = text.find('\n', start) + 1;
        std::vector<ScriptEvent> before;
        std::string unused;
        FUZZ_CHECK(parseInputScript(text.substr(0, start), "script", before, unused) &&
                       SameEvents(before, events),
                   "the events read before the bad line are kept");
    }

    // What was read, written back plainly, reads back the same.
    std::vector<ScriptEvent> again;
    std::string againError;
    FUZZ_CHECK(parseInputScript(Written(events), "again", again, againError) && SameEvents(again, events),
               "the events written back read back the same");
    return 0;
}
