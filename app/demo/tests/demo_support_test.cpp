// demo_support_test.cpp -- cave-demo's options, input scripts, body trace and frame-loop hooks
#include <gtest/gtest.h>

#include <climits>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "app/demo/body_trace.h"
#include "app/demo/demo_options.h"
#include "app/demo/demo_session.h"
#include "app/demo/input_recorder.h"
#include "app/demo/input_script.h"
#include "physics/bodies.h"
#include "physics/simulation.h"
#include "platform/win32.h"

namespace fs = std::filesystem;

namespace {

// A fresh directory under the system's temporary directory, removed at the end of the test.
struct TempDir {
    fs::path path;
    TempDir() {
        path = fs::temp_directory_path() / ("cave_demo_test_" + std::to_string(std::random_device()()) + "_" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(path);
        fs::create_directories(path);
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
};

DemoParseResult parse(std::vector<const char*> args, DemoOptions& options, std::string* err = nullptr) {
    args.insert(args.begin(), "cave-demo");
    ::testing::internal::CaptureStderr();
    ::testing::internal::CaptureStdout();
    DemoParseResult r = parseDemoOptions(static_cast<int>(args.size()), args.data(), options);
    std::string e = ::testing::internal::GetCapturedStderr();
    ::testing::internal::GetCapturedStdout();
    if (err) *err = e;
    return r;
}

std::vector<std::string> splitCsv(const std::string& line) {
    std::vector<std::string> out;
    std::stringstream in(line);
    std::string field;
    while (std::getline(in, field, ','))
        out.push_back(field);
    return out;
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

} // namespace

// The window may fill the screen; a run without a window has no screen to fill.
TEST(DemoOptions, FullscreenIsForTheWindowOnly) {
    DemoOptions o;
    ASSERT_TRUE(parse({"--fullscreen", "--frames", "3"}, o).run);
    EXPECT_TRUE(o.fullscreen);
    EXPECT_FALSE(o.headless);
    DemoOptions plain;
    ASSERT_TRUE(parse({}, plain).run);
    EXPECT_FALSE(plain.fullscreen);
    for (const std::vector<const char*>& args : {std::vector<const char*>{"--fullscreen", "--headless"},
                                                 std::vector<const char*>{"--headless", "--fullscreen"}}) {
        DemoOptions both;
        std::string err;
        DemoParseResult r = parse(args, both, &err);
        EXPECT_FALSE(r.run);
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_NE(err.find("--fullscreen"), std::string::npos) << err;
    }
}

TEST(DemoOptions, ReadsEveryOptionAndRejectsBadOnes) {
    TempDir dir;
    std::ofstream(dir.path / "s.txt") << "1 keydown up\n";
    std::string data = dir.path.string(), script = (dir.path / "s.txt").string();

    DemoOptions all;
    DemoParseResult r = parse({"--data", data.c_str(), "--headless", "--frames", "1500", "--screenshot",
                               "shot.png", "--trace", "t.csv", "--script", script.c_str()},
                              all);
    ASSERT_TRUE(r.run);
    EXPECT_EQ(all.dataDir, data);
    EXPECT_TRUE(all.headless);
    EXPECT_EQ(all.frames, 1500);
    EXPECT_EQ(all.screenshot, "shot.png");
    EXPECT_EQ(all.trace, "t.csv");
    EXPECT_EQ(all.script, script);

    std::string missingDir = (dir.path / "nowhere").string();
    std::string missingScript = (dir.path / "none.txt").string();
    const std::vector<std::vector<const char*>> bad = {
        {"--frames", "ten"},
        {"--data", missingDir.c_str()},
        {"--script", missingScript.c_str()},
        {"--windowed"},
        {"extra"},
    };
    for (const auto& args : bad) {
        DemoOptions o;
        std::string err;
        r = parse(args, o, &err);
        EXPECT_FALSE(r.run) << args[0];
        EXPECT_EQ(r.exitCode, 2) << args[0];
        EXPECT_EQ(err.rfind("cave-demo: ", 0), 0u) << err;
        EXPECT_NE(err.find("--help"), std::string::npos) << err;
    }
    std::string err;
    DemoOptions o;
    parse({"--data", missingDir.c_str()}, o, &err);
    EXPECT_NE(err.find("nowhere"), std::string::npos) << err;

    DemoOptions paths;
    paths.screenshot = "out/shot.png";
    paths.trace = "/abs/t.csv";
    resolveDemoPaths(paths, "/start/dir");
    // Compared as paths: Windows writes the separators it adds as backslashes.
    EXPECT_EQ(fs::path(paths.screenshot), fs::path("/start/dir/out/shot.png"));
    EXPECT_EQ(fs::path(paths.trace), fs::path("/abs/t.csv"));
    EXPECT_EQ(paths.script, "");
}

TEST(DemoOptions, RendererIsFixedOrShaderAndNothingElse) {
    DemoOptions o;
    ASSERT_TRUE(parse({}, o).run);
    EXPECT_EQ(o.renderer, DEMO_DEFAULT_RENDERER);
    ASSERT_TRUE(parse({"--renderer", "shader"}, o).run);
    EXPECT_EQ(o.renderer, DemoRenderer::Shader);
    ASSERT_TRUE(parse({"--renderer", "fixed"}, o).run);
    EXPECT_EQ(o.renderer, DemoRenderer::FixedFunction);
    for (const char* bad : {"vulkan", "", "Shader", "es"}) {
        std::string err;
        DemoParseResult r = parse({"--renderer", bad}, o, &err);
        EXPECT_FALSE(r.run) << bad;
        EXPECT_EQ(r.exitCode, 2) << bad;
        EXPECT_EQ(err.rfind("cave-demo: ", 0), 0u) << err;
    }
}

// The command line and the page's URL read the options through one function: a value is taken or refused
// alike, in the same words (the page shows them after "cave-demo could not start: "; its browser test
// expects the frames sentence below).
TEST(DemoOptions, CommandLineAndPageRefuseABadValueInTheSameWords) {
    EXPECT_EQ(DEMO_MAX_FRAMES, INT_MAX);
    const std::vector<std::pair<std::string, std::string>> bad = {
        {"frames", "ten"}, {"frames", "-1"},       {"frames", "2147483648"},    {"frames", ""},
        {"frames", "1e3"}, {"renderer", "vulkan"}, {"data", "/nowhere/at/all"}, {"script", "/nowhere.txt"},
        {"trace", ""},
    };
    for (const auto& [name, value] : bad) {
        DemoOptions fromPage, fromCommandLine;
        std::string pageError, commandLineError;
        EXPECT_FALSE(setDemoOption(fromPage, name, value, pageError)) << name << "=" << value;
        const std::string flag = "--" + name;
        EXPECT_FALSE(parse({flag.c_str(), value.c_str()}, fromCommandLine, &commandLineError).run);
        EXPECT_EQ(commandLineError, "cave-demo: " + pageError + "\nRun with --help for more information.\n")
            << name << "=" << value;
    }
    std::string error;
    DemoOptions o;
    ASSERT_FALSE(setDemoOption(o, "frames", "ten", error));
    EXPECT_EQ(error, "frames must be a whole number from 0 to 2147483647, not \"ten\"");
    EXPECT_FALSE(setDemoOption(o, "speed", "2", error));
    EXPECT_EQ(error, "there is no option \"speed\"");

    // Good values give the same options both ways; 0 frames is no limit for both.
    DemoOptions page, commandLine;
    for (const auto& [name, value] : std::vector<std::pair<std::string, std::string>>{
             {"frames", "0"}, {"frames", "2147483647"}, {"renderer", "shader"}, {"trace", "t.csv"}}) {
        ASSERT_TRUE(setDemoOption(page, name, value, error)) << error;
        const std::string flag = "--" + name;
        ASSERT_TRUE(parse({flag.c_str(), value.c_str()}, commandLine).run) << name;
    }
    EXPECT_EQ(page.frames, commandLine.frames);
    EXPECT_EQ(page.frames, INT_MAX);
    EXPECT_EQ(page.renderer, commandLine.renderer);
    EXPECT_EQ(page.trace, commandLine.trace);
}

TEST(DemoOptions, RecordTakesAFileOfItsOwnThatNoOtherOptionNames) {
    TempDir dir;
    const std::string script = (dir.path / "s.txt").string();
    std::ofstream(script) << "1 keydown up\n";
    DemoOptions o;
    ASSERT_TRUE(parse({"--script", script.c_str(), "--record", "rec.txt", "--trace", "t.csv"}, o).run);
    EXPECT_EQ(o.record, "rec.txt");
    resolveDemoPaths(o, dir.path.string());
    EXPECT_EQ(o.record, (dir.path / "rec.txt").string());
    std::string err;
    EXPECT_TRUE(checkDemoFiles(o, err)) << err;

    // The recording would overwrite the script, or two outputs would write one file: refused, naming
    // both options, however the path is spelt.
    fs::create_directories(dir.path / "sub");
    // Through a symbolic link where the system lets the test make one (not Windows without privileges).
    std::error_code noLink;
    fs::create_symlink(dir.path / "sub", dir.path / "link", noLink);
    const std::vector<std::pair<std::string DemoOptions::*, std::string>> clashes = {
        {&DemoOptions::record, "s.txt"},
        {&DemoOptions::record, "./sub/../s.txt"},
        {&DemoOptions::record, "sub/t.csv"},
        {&DemoOptions::screenshot, noLink ? "sub/./t.csv" : "link/t.csv"}};
    for (const auto& clash : clashes) {
        DemoOptions c;
        c.script = script;
        c.trace = "sub/t.csv";
        c.*clash.first = clash.second;
        resolveDemoPaths(c, dir.path.string());
        EXPECT_FALSE(checkDemoFiles(c, err)) << clash.second;
        EXPECT_NE(err.find("name the same file"), std::string::npos) << err;
    }
    EXPECT_NE(err.find("--screenshot and --trace"), std::string::npos) << err;
}

TEST(InputScript, ParsesEventsInFileOrderAndNamesTheBadLine) {
    std::vector<ScriptEvent> ev;
    std::string err;
    const std::string good = "# drive and drag\n"
                             "\n"
                             "1 keydown up\n"
                             "  \t# indented comment\n"
                             "1\tkeyup up\r\n"
                             "5 keydown left\n"
                             "5 keyup left\n"
                             "7 keydown space\n"
                             "8 keyup space\n"
                             "9 keydown shift\n"
                             "9 keyup down\n"
                             "10 keydown right\n"
                             "12 mousedown 320 240\n"
                             "13   mousemove -1 70000  \n"
                             "14 mouseup 0 0\n"
                             "20 keydown escape"; // no final line end
    ASSERT_TRUE(parseInputScript(good, "s.txt", ev, err)) << err;
    ASSERT_EQ(ev.size(), 13u);
    EXPECT_EQ(ev[0].frame, 1);
    EXPECT_EQ(ev[0].kind, ScriptEvent::KeyDown);
    EXPECT_EQ(ev[0].key, VK_UP);
    EXPECT_EQ(ev[0].line, 3);
    EXPECT_EQ(ev[1].kind, ScriptEvent::KeyUp);
    EXPECT_EQ(ev[1].line, 5);
    EXPECT_EQ(ev[2].key, VK_LEFT);
    EXPECT_EQ(ev[4].key, VK_SPACE);
    EXPECT_EQ(ev[6].key, VK_SHIFT);
    EXPECT_EQ(ev[7].key, VK_DOWN);
    EXPECT_EQ(ev[8].key, VK_RIGHT);
    EXPECT_EQ(ev[9].kind, ScriptEvent::MouseDown);
    EXPECT_EQ(ev[9].x, 320);
    EXPECT_EQ(ev[9].y, 240);
    EXPECT_EQ(ev[10].kind, ScriptEvent::MouseMove);
    EXPECT_EQ(ev[10].x, -1);
    EXPECT_EQ(ev[10].y, 70000);
    EXPECT_EQ(ev[11].kind, ScriptEvent::MouseUp);
    EXPECT_EQ(ev[12].key, VK_ESCAPE);
    EXPECT_EQ(ev[12].frame, 20);

    std::vector<ScriptEvent> empty;
    EXPECT_TRUE(parseInputScript("", "e", empty, err));
    EXPECT_TRUE(parseInputScript("\n# only\n\n", "e", empty, err));
    EXPECT_TRUE(empty.empty());

    // Each bad line is reported with the file name and its line number (the bad line is always line 2).
    const char* bad[] = {
        "0 keydown up",         "-1 keydown up",     "+1 keydown up",
        "1x keydown up",        "one keydown up",    "1",
        "1 press up",           "1 KEYDOWN up",      "1 keydown",
        "1 keydown enter",      "1 keydown up down", "1 keydown Up",
        "1 mousedown 5",        "1 mousedown 5 6 7", "1 mousemove 1.5 2",
        "1 mouseup x y",        "1 mousemove 5 --6", "1 mousemove 2147483648 0",
        "99999999999 keyup up", "1 keyup up # note", "1 mousemove - 3",
    };
    for (const char* line : bad) {
        std::vector<ScriptEvent> out;
        std::string e;
        EXPECT_FALSE(
            parseInputScript(std::string("1 keyup left\n") + line + "\n3 keyup up\n", "in.txt", out, e))
            << line;
        EXPECT_EQ(e.rfind("in.txt:2: ", 0), 0u) << line << " -> " << e;
        EXPECT_EQ(out.size(), 1u) << line;
    }

    // Frame numbers may repeat but never decrease.
    std::vector<ScriptEvent> order;
    EXPECT_TRUE(parseInputScript("2 keydown up\n2 keyup up\n3 keydown up\n", "o", order, err));
    order.clear();
    EXPECT_FALSE(parseInputScript("5 keydown up\n\n# c\n4 keyup up\n", "order.txt", order, err));
    EXPECT_EQ(err.rfind("order.txt:4: ", 0), 0u) << err;

    std::vector<ScriptEvent> none;
    EXPECT_FALSE(loadInputScript("/nonexistent/dir/script.txt", none, err));
    EXPECT_NE(err.find("/nonexistent/dir/script.txt"), std::string::npos);

    // Hostile files: a NUL byte or a field of megabytes gives a short message that names the line and
    // shows the field escaped; a file that never ends is refused once past the limit, not read into memory.
    std::vector<ScriptEvent> hostile;
    EXPECT_FALSE(parseInputScript(std::string("1 keydown up\0\n", 15), "nul.txt", hostile, err));
    EXPECT_EQ(err, "nul.txt:1: unknown key \"up\\x00\" (up, down, left, right, space, shift, escape)");
    EXPECT_FALSE(parseInputScript("1 keydown " + std::string(1 << 22, 'x') + "\n", "long.txt", hostile, err));
    EXPECT_EQ(err.rfind("long.txt:1: unknown key \"xxxxxxxxxxxxxxxxxxxxxxxx...\" (", 0), 0u)
        << err.substr(0, 80);
    EXPECT_LT(err.size(), 200u);
    EXPECT_FALSE(loadInputScript("/dev/zero", hostile, err));
    EXPECT_EQ(err,
              "/dev/zero: larger than " + std::to_string(MAX_SCRIPT_BYTES) + " bytes, not an input script");
}

TEST(BodyTrace, WritesHeaderThenOneRowPerBodyPerFrameWithRoundTrippingFloats) {
    TempDir dir;
    resetRenderObjects();
    resetPhysics();
    ASSERT_EQ(createBody(nullptr, 2.0f, 8.0f), 0);
    ASSERT_EQ(createBody(nullptr, 2.0f, 4.0f), 1);
    ASSERT_EQ(createBody(nullptr, 2.0f, 4.0f), 2);
    renderObjects[1].world.m[12] = 0.1f;
    renderObjects[1].world.m[13] = 160.0f;
    renderObjects[1].world.m[14] = 66.28125f;
    bodyVelocity[2] = Vector3(-1e-30f, 3.40282347e38f, 1.0f / 3.0f);
    bodyTorque[2] = Vector3(std::nanf(""), 0.0f, -0.0f);

    fs::path path = dir.path / "t.csv";
    std::string err;
    {
        BodyTrace trace;
        ASSERT_TRUE(trace.open(path.string(), err)) << err;
        trace.writeFrame(0);
        bodyForce[0] = Vector3(0.0f, -144.0f, 0.0f);
        trace.writeFrame(1);
        ASSERT_TRUE(trace.close(err)) << err;
    }
    std::istringstream in(readFile(path));
    std::string line;
    ASSERT_TRUE(std::getline(in, line));
    EXPECT_EQ(line,
              "frame,body,m00,m01,m02,m10,m11,m12,m20,m21,m22,px,py,pz,vx,vy,vz,wx,wy,wz,fx,fy,fz,tx,ty,tz");
    std::vector<std::vector<std::string>> rows;
    while (std::getline(in, line))
        rows.push_back(splitCsv(line));
    ASSERT_EQ(rows.size(), 6u); // 3 bodies x frames 0 and 1
    for (size_t i = 0; i < rows.size(); ++i) {
        ASSERT_EQ(rows[i].size(), 26u);
        EXPECT_EQ(rows[i][0], i < 3 ? "0" : "1");
        EXPECT_EQ(rows[i][1], std::to_string(i % 3));
    }
    // Identity orientation, then the position row, as "%.9g".
    EXPECT_EQ(rows[0][2], "1");
    EXPECT_EQ(rows[0][3], "0");
    EXPECT_EQ(rows[0][6], "1");
    EXPECT_EQ(rows[0][10], "1");
    EXPECT_EQ(rows[1][11], "0.100000001");
    EXPECT_EQ(rows[1][12], "160");
    EXPECT_EQ(rows[1][13], "66.28125");
    EXPECT_EQ(rows[2][14], "-1e-30");
    EXPECT_EQ(std::strtof(rows[2][14].c_str(), nullptr), -1e-30f);
    EXPECT_EQ(std::strtof(rows[2][15].c_str(), nullptr), 3.40282347e38f);
    EXPECT_EQ(std::strtof(rows[2][16].c_str(), nullptr), 1.0f / 3.0f);
    EXPECT_NE(rows[2][23].find("nan"), std::string::npos);
    EXPECT_EQ(rows[2][25], "-0");
    // Force accumulator columns fx..fz; frame 1 shows the change, frame 0 does not.
    EXPECT_EQ(rows[0][21], "0");
    EXPECT_EQ(rows[3][21], "-144");

    BodyTrace unwritable;
    EXPECT_FALSE(unwritable.open((dir.path / "no" / "t.csv").string(), err));
    EXPECT_NE(err.find("t.csv"), std::string::npos);
    resetRenderObjects();
    resetPhysics();
}

namespace {

std::vector<MSG> drained;

LRESULT CALLBACK recordingProc(HWND hwnd, UINT m, WPARAM wp, LPARAM lp) {
    return DefWindowProcA(hwnd, m, wp, lp);
}

// Takes every queued message off the queue.
std::vector<MSG> drain() {
    std::vector<MSG> out;
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        out.push_back(msg);
    return out;
}

} // namespace

TEST(DemoSession, PostsEachFramesEventsBeforeItAndEscAfterTheLastFrame) {
    platformReset();
    resetRenderObjects();
    resetPhysics();
    WNDCLASSA wc = {};
    wc.lpfnWndProc = recordingProc;
    wc.lpszClassName = "hello";
    ASSERT_NE(RegisterClassA(&wc), 0);
    HWND hwnd = CreateWindowExA(0, "hello", "Test", WS_OVERLAPPEDWINDOW, 0, 0, 640, 480, nullptr, nullptr,
                                nullptr, nullptr);
    ASSERT_NE(hwnd, nullptr);
    drain();
    ASSERT_EQ(createBody(nullptr, 2.0f, 8.0f), 0);

    std::vector<ScriptEvent> events;
    std::string err;
    ASSERT_TRUE(parseInputScript("1 keydown up\n1 mousedown -1 5\n3 keyup up\n3 mousemove 65536 -32768\n"
                                 "5 keydown left\n",
                                 "s", events, err))
        << err;
    ScriptPlayer player(events);
    TempDir dir;
    BodyTrace trace;
    ASSERT_TRUE(trace.open((dir.path / "t.csv").string(), err));
    DemoSession session(&trace, &player, 3);
    activeDemoSession = &session;

    demoHookBeforeLoop();
    std::vector<MSG> m = drain();
    ASSERT_EQ(m.size(), 2u);
    EXPECT_EQ(m[0].message, WM_KEYDOWN);
    EXPECT_EQ(m[0].wParam, static_cast<WPARAM>(VK_UP));
    EXPECT_TRUE(GetKeyState(VK_UP) & 0x8000);
    EXPECT_EQ(m[1].message, WM_LBUTTONDOWN);
    EXPECT_EQ(LOWORD(m[1].lParam), 0xFFFF);
    EXPECT_EQ(HIWORD(m[1].lParam), 5);

    demoHookAfterStep();
    demoHookFramePresented(); // frame 1 done: frame 2 has no events
    EXPECT_TRUE(drain().empty());
    demoHookAfterStep();
    demoHookFramePresented(); // frame 2 done: frame 3's events
    m = drain();
    ASSERT_EQ(m.size(), 2u);
    EXPECT_EQ(m[0].message, WM_KEYUP);
    EXPECT_FALSE(GetKeyState(VK_UP) & 0x8000);
    EXPECT_EQ(m[1].message, WM_MOUSEMOVE);
    EXPECT_EQ(LOWORD(m[1].lParam), 0);
    EXPECT_EQ(HIWORD(m[1].lParam), 0x8000);

    demoHookAfterStep();
    demoHookFramePresented(); // frame 3 was the last: Esc, and frame 5's events never come
    m = drain();
    ASSERT_EQ(m.size(), 1u);
    EXPECT_EQ(m[0].message, WM_KEYDOWN);
    EXPECT_EQ(m[0].wParam, static_cast<WPARAM>(VK_ESCAPE));
    demoHookFramePresented();
    EXPECT_TRUE(drain().empty());
    EXPECT_EQ(player.pending(), 1);
    EXPECT_EQ(session.stepsTaken(), 3);
    EXPECT_EQ(session.framesPresented(), 4);

    activeDemoSession = nullptr;
    demoHookAfterStep(); // no session: nothing happens
    ASSERT_TRUE(trace.close(err));
    std::string text = readFile(dir.path / "t.csv");
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 5); // header + frames 0..3, one body
    EXPECT_NE(text.find("\n3,0,"), std::string::npos);
    DestroyWindow(hwnd);
    platformReset();
    resetRenderObjects();
    resetPhysics();
}

namespace {

// The events of a script, compared field by field (the line numbers differ between files).
std::string describe(const std::vector<ScriptEvent>& events) {
    std::string out;
    for (const ScriptEvent& e : events)
        out += std::to_string(e.frame) + ":" + std::to_string(e.kind) + ":" + std::to_string(e.key) + ":" +
               std::to_string(e.x) + ":" + std::to_string(e.y) + " ";
    return out;
}

} // namespace

TEST(InputRecorder, WritesTheMessagesTakenFromTheQueueWithTheirFramesAndReadsBackAsTheSameScript) {
    platformReset();
    resetRenderObjects();
    resetPhysics();
    WNDCLASSA wc = {};
    wc.lpfnWndProc = recordingProc;
    wc.lpszClassName = "hello";
    ASSERT_NE(RegisterClassA(&wc), 0);
    HWND hwnd = CreateWindowExA(0, "hello", "Test", WS_OVERLAPPEDWINDOW, 0, 0, 640, 480, nullptr, nullptr,
                                nullptr, nullptr);
    ASSERT_NE(hwnd, nullptr);
    drain();
    ASSERT_EQ(createBody(nullptr, 2.0f, 8.0f), 0);

    // Script events (every key the format knows, positions that wrap) and live input posted between
    // frames, as the backend posts it; the frame limit's Esc comes after frame 4.
    std::vector<ScriptEvent> events;
    std::string err;
    ASSERT_TRUE(parseInputScript("1 keydown up\n1 keydown down\n1 keydown left\n1 keydown right\n"
                                 "2 keydown space\n2 keydown shift\n2 keyup up\n2 mousedown -1 5\n"
                                 "3 mousemove 65536 -32768\n3 mouseup 70000 -70000\n",
                                 "s", events, err))
        << err;
    ScriptPlayer player(events);
    TempDir dir;
    const std::string path = (dir.path / "rec.txt").string();
    InputRecorder recorder;
    ASSERT_TRUE(recorder.open(path, err)) << err;
    DemoSession session(nullptr, &player, 4);
    session.setRecorder(&recorder);
    activeDemoSession = &session;
    platformSetMessageObserver(demoHookMessageTaken);

    // The input messages taken before each frame starts; frame 1's come after the set-up.
    std::vector<std::vector<MSG>> taken(6);
    const auto takeInput = [&taken](int frame) {
        for (const MSG& m : drain())
            if (!(m.message == WM_USER || m.message == WM_RBUTTONDOWN ||
                  (m.message == WM_KEYDOWN && (m.wParam == 'A' || m.wParam == VK_CONTROL))))
                taken[frame].push_back(m);
    };
    demoHookBeforeLoop();
    platformPostKey('A', true); // keys the system never looks at are left out
    platformPostKey(VK_CONTROL, true);
    PostMessageA(hwnd, WM_USER, 1, 2); // so are messages that are not input
    PostMessageA(hwnd, WM_RBUTTONDOWN, 0, MAKELPARAM(3, 4));
    takeInput(1);
    for (int frame = 1; frame <= 4; ++frame) {
        demoHookAfterStep();
        if (frame == 2) platformPostMouseMove(-20, 700); // live input during frame 2 belongs to frame 3
        demoHookFramePresented();
        MSG msg;
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE); // looking at a message does not take it
        takeInput(frame + 1);
    }
    platformSetMessageObserver(nullptr);
    platformPostKey(VK_UP, false); // no observer: not recorded
    drain();
    activeDemoSession = nullptr;
    EXPECT_EQ(recorder.eventsWritten(), 12);
    ASSERT_TRUE(recorder.close(session.framesPresented(), err)) << err;

    std::vector<ScriptEvent> recorded, expected;
    ASSERT_TRUE(loadInputScript(path, recorded, err)) << err;
    ASSERT_TRUE(parseInputScript("1 keydown up\n1 keydown down\n1 keydown left\n1 keydown right\n"
                                 "2 keydown space\n2 keydown shift\n2 keyup up\n2 mousedown -1 5\n"
                                 "3 mousemove -20 700\n3 mousemove 0 -32768\n3 mouseup 4464 -4464\n"
                                 "5 keydown escape\n",
                                 "expected", expected, err))
        << err;
    EXPECT_EQ(describe(recorded), describe(expected));
    const std::string text = readFile(path);
    EXPECT_EQ(text.rfind("# ", 0), 0u) << text;
    EXPECT_NE(text.find("\n3 mouseup 4464 -4464\n"), std::string::npos) << text;
    EXPECT_NE(text.find("after 4 frames"), std::string::npos) << text;

    // Replaying the recording gives the system the same messages (message, wParam, lParam) before the
    // same frames.
    for (int k = 0; k < 256; ++k)
        platformSetKeyDown(k, false);
    ScriptPlayer replay(recorded);
    for (int frame = 1; frame <= 5; ++frame) {
        replay.postThrough(frame);
        const std::vector<MSG> again = drain();
        ASSERT_EQ(again.size(), taken[frame].size()) << "frame " << frame;
        for (size_t i = 0; i < again.size(); ++i) {
            EXPECT_EQ(again[i].message, taken[frame][i].message) << "frame " << frame << " message " << i;
            EXPECT_EQ(again[i].wParam, taken[frame][i].wParam) << "frame " << frame << " message " << i;
            EXPECT_EQ(again[i].lParam, taken[frame][i].lParam) << "frame " << frame << " message " << i;
        }
    }

    InputRecorder unwritable;
    EXPECT_FALSE(unwritable.open((dir.path / "no" / "rec.txt").string(), err));
    EXPECT_NE(err.find("rec.txt"), std::string::npos) << err;
    EXPECT_FALSE(unwritable.record(MSG{hwnd, WM_KEYDOWN, VK_UP, 0, 0, {0, 0}}, 1));
    DestroyWindow(hwnd);
    platformReset();
    resetRenderObjects();
    resetPhysics();
}
