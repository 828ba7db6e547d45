// demo_options.cpp -- the options of a run: each read from its text, and checked together
#include "app/demo/demo_options.h"

#include <filesystem>
#include <iterator>
#include <utility>

namespace {

// The value as a message shows it, in quotes: a word at most 40 characters long, a path 400.
std::string quoted(const std::string& value, size_t limit = 40) {
    return "\"" + (value.size() > limit ? value.substr(0, limit) + "..." : value) + "\"";
}

// A whole decimal number in 0 .. DEMO_MAX_FRAMES, digits only.
bool parseFrameCount(const std::string& text, int& out) {
    if (text.empty()) return false;
    long long value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
        if (value > DEMO_MAX_FRAMES) return false;
    }
    out = static_cast<int>(value);
    return true;
}

bool parseFlag(const std::string& text, bool& out) {
    if (text.empty() || text == "1" || text == "true") {
        out = true;
        return true;
    }
    if (text == "0" || text == "false") {
        out = false;
        return true;
    }
    return false;
}

} // namespace

bool setDemoOption(DemoOptions& options, const std::string& name, const std::string& value,
                   std::string& error) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (name == "frames") {
        if (parseFrameCount(value, options.frames)) return true;
        error = "frames must be a whole number from 0 to " + std::to_string(DEMO_MAX_FRAMES) + ", not " +
                quoted(value);
        return false;
    }
    if (name == "data") {
        if (!value.empty() && fs::is_directory(value, ec)) {
            options.dataDir = value;
            return true;
        }
        error = "data must be an existing directory, not " + quoted(value, 400);
        return false;
    }
    if (name == "script") {
        if (!value.empty() && fs::is_regular_file(value, ec)) {
            options.script = value;
            return true;
        }
        error = "script must be an existing file, not " + quoted(value, 400);
        return false;
    }
    if (name == "renderer") {
        if (value == "fixed" || value == "shader") {
            options.renderer = value == "fixed" ? DemoRenderer::FixedFunction : DemoRenderer::Shader;
            return true;
        }
        error = "renderer must be fixed or shader, not " + quoted(value);
        return false;
    }
    std::string* file = name == "screenshot" ? &options.screenshot
                        : name == "trace"    ? &options.trace
                        : name == "record"   ? &options.record
                                             : nullptr;
    if (file) {
        if (!value.empty()) {
            *file = value;
            return true;
        }
        error = name + " must name a file";
        return false;
    }
    bool* flag = name == "headless"     ? &options.headless
                 : name == "fullscreen" ? &options.fullscreen
                                        : nullptr;
    if (flag) {
        if (parseFlag(value, *flag)) return true;
        error = name + " takes no value but 1 or 0, not " + quoted(value);
        return false;
    }
    error = "there is no option " + quoted(name);
    return false;
}

bool checkDemoOptions(const DemoOptions& options, std::string& error) {
    if (options.fullscreen && options.headless) {
        error = "--fullscreen needs a window: it does not go with --headless";
        return false;
    }
    return checkDemoFiles(options, error);
}

void resolveDemoPaths(DemoOptions& options, const std::string& startDir) {
    namespace fs = std::filesystem;
    for (std::string* path : {&options.screenshot, &options.trace, &options.script, &options.record}) {
        if (path->empty() || fs::path(*path).is_absolute()) continue;
        *path = (fs::path(startDir) / *path).lexically_normal().string();
    }
}

bool checkDemoFiles(const DemoOptions& options, std::string& error) {
    namespace fs = std::filesystem;
    const std::pair<const char*, const std::string*> files[] = {{"--script", &options.script},
                                                                {"--screenshot", &options.screenshot},
                                                                {"--trace", &options.trace},
                                                                {"--record", &options.record}};
    const auto canonical = [](const std::string& path) {
        std::error_code ec;
        fs::path resolved = fs::weakly_canonical(fs::path(path), ec);
        return ec ? fs::path(path).lexically_normal() : resolved;
    };
    for (size_t i = 0; i < std::size(files); ++i)
        for (size_t j = i + 1; j < std::size(files); ++j) {
            if (files[i].second->empty() || files[j].second->empty()) continue;
            if (canonical(*files[i].second) != canonical(*files[j].second)) continue;
            error = std::string(files[i].first) + " and " + files[j].first + " name the same file " +
                    *files[j].second;
            return false;
        }
    return true;
}
