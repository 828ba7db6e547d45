// input_recorder.cpp -- writes the key and mouse messages the system receives as input-script lines
#include "app/demo/input_recorder.h"

#include <cerrno>
#include <cstring>

bool scriptEventOfMessage(const MSG& msg, int frame, ScriptEvent& event) {
    event = ScriptEvent();
    event.frame = frame;
    switch (msg.message) {
    case WM_KEYDOWN:
    case WM_KEYUP:
        event.kind = msg.message == WM_KEYDOWN ? ScriptEvent::KeyDown : ScriptEvent::KeyUp;
        event.key = static_cast<int>(msg.wParam);
        return msg.wParam <= 0xFF && scriptKeyName(event.key) != nullptr;
    case WM_LBUTTONDOWN:
    case WM_MOUSEMOVE:
    case WM_LBUTTONUP:
        event.kind = msg.message == WM_LBUTTONDOWN ? ScriptEvent::MouseDown
                     : msg.message == WM_MOUSEMOVE ? ScriptEvent::MouseMove
                                                   : ScriptEvent::MouseUp;
        event.x = static_cast<int16_t>(LOWORD(msg.lParam));
        event.y = static_cast<int16_t>(HIWORD(msg.lParam));
        return true;
    default:
        return false;
    }
}

InputRecorder::~InputRecorder() {
    if (file_ != nullptr) std::fclose(file_);
}

bool InputRecorder::open(const std::string& path, std::string& error) {
    if (file_ != nullptr) std::fclose(file_);
    events_ = 0;
    file_ = std::fopen(path.c_str(), "wb");
    if (file_ == nullptr) {
        error = path + ": cannot write the recording (" + std::strerror(errno) + ")";
        return false;
    }
    path_ = path;
    std::fputs("# cave-demo input recording: FRAME EVENT [ARGS]; replay it with --script\n", file_);
    std::fflush(file_);
    return true;
}

bool InputRecorder::record(const MSG& msg, int frame) {
    ScriptEvent event;
    if (file_ == nullptr || !scriptEventOfMessage(msg, frame, event)) return false;
    const std::string line = formatScriptEvent(event) + "\n";
    std::fwrite(line.data(), 1, line.size(), file_);
    std::fflush(file_);
    ++events_;
    return true;
}

bool InputRecorder::close(int framesPresented, std::string& error) {
    if (file_ == nullptr) return true;
    std::fprintf(file_, "# %d events; the session ended after %d frames\n", events_, framesPresented);
    bool failed = std::ferror(file_) != 0;
    failed = (std::fclose(file_) != 0) || failed;
    file_ = nullptr;
    if (failed) {
        error = path_ + ": writing the recording failed";
        return false;
    }
    return true;
}
