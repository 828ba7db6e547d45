// demo_session.h -- what cave-demo does at the frame loop's hook points: trace rows, script events, frame
// limit
#pragma once

#include "app/demo/body_trace.h"
#include "app/demo/input_recorder.h"
#include "app/demo/input_script.h"
#include "platform/core/platform_core.h"

// One run's frame bookkeeping. The hook functions below forward to the one active session.
class DemoSession {
  public:
    // trace and script may be null; frameLimit 0 means no limit. Both must outlive the session's use.
    DemoSession(BodyTrace* trace, ScriptPlayer* script, int frameLimit)
        : trace_(trace), script_(script), frameLimit_(frameLimit) {}

    // The scene is set up and the loop is about to start: trace rows of frame 0, then frame 1's events.
    void beforeLoop();
    // stepSimulation has just returned: trace rows of that step's frame.
    void afterStep();
    // A frame has been presented: after frame N = frameLimit, an Esc keydown (as if Esc was pressed);
    // otherwise the events of the next frame.
    void framePresented();

    // Records the messages the system takes from now on into `recorder` (null: none), which must outlive
    // the session's use.
    void setRecorder(InputRecorder* recorder) { recorder_ = recorder; }
    // A message has been taken from the queue: while frame N has not started (N - 1 frames presented),
    // it belongs to frame N, the frame an input script gives it to be delivered the same way.
    void messageTaken(const MSG& msg);

    int stepsTaken() const { return steps_; }
    int framesPresented() const { return presented_; }

  private:
    BodyTrace* trace_;
    ScriptPlayer* script_;
    InputRecorder* recorder_ = nullptr;
    int frameLimit_;
    int steps_ = 0;
    int presented_ = 0;
};

// The session the hooks below forward to, or null (they then do nothing). Set by main for the run.
extern DemoSession* activeDemoSession;

// Plain function hooks for the frame loop (they forward to activeDemoSession).
void demoHookBeforeLoop();
void demoHookAfterStep();
void demoHookFramePresented();
// The platform core's message observer (platformSetMessageObserver).
void demoHookMessageTaken(const MSG& msg);
