// input_script.cpp -- parsing of input scripts and their delivery as posted key and mouse messages
#include "app/demo/input_script.h"

#include "platform/win32.h"
#include "platform/core/platform_core.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

struct KeyName {
    const char* name;
    int virtKey;
};
const KeyName KEY_NAMES[] = {
    {"up", VK_UP},       {"down", VK_DOWN},   {"left", VK_LEFT},     {"right", VK_RIGHT},
    {"space", VK_SPACE}, {"shift", VK_SHIFT}, {"escape", VK_ESCAPE},
};

// Splits a line into fields separated by spaces, tabs and carriage returns.
std::vector<std::string> splitFields(const std::string& line) {
    std::vector<std::string> fields;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r'))
            ++i;
        size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r')
            ++i;
        if (i > start) fields.push_back(line.substr(start, i - start));
    }
    return fields;
}

// A field as an error message shows it: in double quotes, bytes outside printable ASCII as \xNN, and at
// most 24 bytes, so that a hostile line (NUL bytes, megabytes without a space) gives a short, readable
// message.
std::string quoted(const std::string& field) {
    const size_t SHOWN = 24;
    std::string out = "\"";
    for (size_t i = 0; i < field.size() && i < SHOWN; ++i) {
        unsigned char c = static_cast<unsigned char>(field[i]);
        if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
            out += static_cast<char>(c);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        }
    }
    out += field.size() > SHOWN ? "...\"" : "\"";
    return out;
}

// A whole-field decimal integer that fits an int; an optional leading '-' only when `allowSign`.
bool parseInt(const std::string& text, bool allowSign, int& value) {
    size_t start = (allowSign && !text.empty() && text[0] == '-') ? 1 : 0;
    if (start == text.size()) return false;
    for (size_t i = start; i < text.size(); ++i)
        if (text[i] < '0' || text[i] > '9') return false;
    errno = 0;
    char* end = nullptr;
    long long v = std::strtoll(text.c_str(), &end, 10);
    if (errno == ERANGE || v < INT_MIN || v > INT_MAX) return false;
    value = static_cast<int>(v);
    return true;
}

// Parses one non-blank, non-comment line; on failure sets `reason`.
bool parseLine(const std::vector<std::string>& f, ScriptEvent& ev, std::string& reason) {
    if (!parseInt(f[0], false, ev.frame) || ev.frame < 1) {
        reason = "frame number expected (1 to 2147483647), got " + quoted(f[0]);
        return false;
    }
    if (f.size() < 2) {
        reason = "event expected after the frame number";
        return false;
    }
    const std::string& name = f[1];
    if (name == "keydown" || name == "keyup") {
        ev.kind = name == "keydown" ? ScriptEvent::KeyDown : ScriptEvent::KeyUp;
        if (f.size() != 3) {
            reason = name + " takes one key (up, down, left, right, space, shift, escape)";
            return false;
        }
        for (const KeyName& k : KEY_NAMES) {
            if (f[2] == k.name) {
                ev.key = k.virtKey;
                return true;
            }
        }
        reason = "unknown key " + quoted(f[2]) + " (up, down, left, right, space, shift, escape)";
        return false;
    }
    if (name == "mousedown" || name == "mousemove" || name == "mouseup") {
        ev.kind = name == "mousedown"   ? ScriptEvent::MouseDown
                  : name == "mousemove" ? ScriptEvent::MouseMove
                                        : ScriptEvent::MouseUp;
        if (f.size() != 4 || !parseInt(f[2], true, ev.x) || !parseInt(f[3], true, ev.y)) {
            reason = name + " takes two integer client coordinates X Y";
            return false;
        }
        return true;
    }
    reason = "unknown event " + quoted(name) + " (keydown, keyup, mousedown, mousemove, mouseup)";
    return false;
}

} // namespace

bool parseInputScript(const std::string& text, const std::string& sourceName,
                      std::vector<ScriptEvent>& events, std::string& error) {
    std::istringstream in(text);
    std::string line;
    int lineNumber = 0;
    int lastFrame = 1;
    while (std::getline(in, line)) {
        ++lineNumber;
        std::vector<std::string> fields = splitFields(line);
        if (fields.empty() || fields[0][0] == '#') continue;
        ScriptEvent ev;
        ev.line = lineNumber;
        std::string reason;
        if (parseLine(fields, ev, reason) && ev.frame < lastFrame)
            reason = "frame " + std::to_string(ev.frame) + " comes after frame " + std::to_string(lastFrame) +
                     " (frame numbers never decrease)";
        if (!reason.empty()) {
            error = sourceName + ":" + std::to_string(lineNumber) + ": " + reason;
            return false;
        }
        lastFrame = ev.frame;
        events.push_back(ev);
    }
    return true;
}

bool loadInputScript(const std::string& path, std::vector<ScriptEvent>& events, std::string& error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = path + ": cannot open the script";
        return false;
    }
    std::string text;
    char chunk[65536];
    while (file) {
        file.read(chunk, sizeof chunk);
        text.append(chunk, static_cast<size_t>(file.gcount()));
        if (text.size() > MAX_SCRIPT_BYTES) {
            error =
                path + ": larger than " + std::to_string(MAX_SCRIPT_BYTES) + " bytes, not an input script";
            return false;
        }
    }
    if (file.bad()) {
        error = path + ": cannot read the script";
        return false;
    }
    return parseInputScript(text, path, events, error);
}

const char* scriptKeyName(int virtKey) {
    for (const KeyName& k : KEY_NAMES)
        if (k.virtKey == virtKey) return k.name;
    return nullptr;
}

std::string formatScriptEvent(const ScriptEvent& event) {
    const std::string frame = std::to_string(event.frame);
    const auto mouse = [&](const char* name) {
        return frame + " " + name + " " + std::to_string(event.x) + " " + std::to_string(event.y);
    };
    switch (event.kind) {
    case ScriptEvent::KeyDown:
    case ScriptEvent::KeyUp: {
        const char* key = scriptKeyName(event.key);
        if (key == nullptr) return "";
        return frame + (event.kind == ScriptEvent::KeyDown ? " keydown " : " keyup ") + key;
    }
    case ScriptEvent::MouseDown:
        return mouse("mousedown");
    case ScriptEvent::MouseMove:
        return mouse("mousemove");
    case ScriptEvent::MouseUp:
        return mouse("mouseup");
    }
    return "";
}

int ScriptPlayer::postThrough(int frame) {
    int posted = 0;
    while (next_ < static_cast<int>(events_.size()) && events_[next_].frame <= frame) {
        const ScriptEvent& ev = events_[next_++];
        switch (ev.kind) {
        case ScriptEvent::KeyDown:
            platformPostKey(ev.key, true);
            break;
        case ScriptEvent::KeyUp:
            platformPostKey(ev.key, false);
            break;
        case ScriptEvent::MouseDown:
            platformPostMouseButton(ev.x, ev.y, true);
            break;
        case ScriptEvent::MouseMove:
            platformPostMouseMove(ev.x, ev.y);
            break;
        case ScriptEvent::MouseUp:
            platformPostMouseButton(ev.x, ev.y, false);
            break;
        }
        ++posted;
    }
    return posted;
}
