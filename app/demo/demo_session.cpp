// demo_session.cpp -- frame counting at the hook points of the frame loop
#include "app/demo/demo_session.h"

#include "platform/win32.h"
#include "platform/core/platform_core.h"

DemoSession* activeDemoSession = nullptr;

void DemoSession::beforeLoop() {
    if (trace_) trace_->writeFrame(0);
    if (script_) script_->postThrough(1);
}

void DemoSession::afterStep() {
    ++steps_;
    if (trace_) trace_->writeFrame(steps_);
}

void DemoSession::framePresented() {
    ++presented_;
    if (frameLimit_ > 0 && presented_ >= frameLimit_) {
        if (presented_ == frameLimit_) platformPostKey(VK_ESCAPE, true);
        return;
    }
    if (script_) script_->postThrough(presented_ + 1);
}

void DemoSession::messageTaken(const MSG& msg) {
    if (recorder_) recorder_->record(msg, presented_ + 1);
}

void demoHookBeforeLoop() {
    if (activeDemoSession) activeDemoSession->beforeLoop();
}

void demoHookAfterStep() {
    if (activeDemoSession) activeDemoSession->afterStep();
}

void demoHookFramePresented() {
    if (activeDemoSession) activeDemoSession->framePresented();
}

void demoHookMessageTaken(const MSG& msg) {
    if (activeDemoSession) activeDemoSession->messageTaken(msg);
}
