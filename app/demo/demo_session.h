// demo_session.h -- what cave-demo does at the frame loop's hook points: trace rows, script events, frame
// limit
#pragma once

#include "app/demo/body_trace.h"
#include "app/demo/input_script.h"

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

    int stepsTaken() const { return steps_; }
    int framesPresented() const { return presented_; }

  private:
    BodyTrace* trace_;
    ScriptPlayer* script_;
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
