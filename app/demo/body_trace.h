// body_trace.h -- the body trace: every body's pose, velocities and accumulators, one CSV row per body per
// frame
#pragma once

#include <cstdio>
#include <string>

// The header line of the trace, without the line end.
extern const char* const BODY_TRACE_HEADER;

// Writes "frame,body,m00..m22,px,py,pz,vx..vz,wx..wz,fx..fz,tx..tz" rows, every float as "%.9g".
class BodyTrace {
  public:
    BodyTrace() = default;
    ~BodyTrace();
    BodyTrace(const BodyTrace&) = delete;
    BodyTrace& operator=(const BodyTrace&) = delete;

    // Creates (truncates) the file and writes the header. False with `error` set when it cannot.
    bool open(const std::string& path, std::string& error);
    bool isOpen() const { return file_ != nullptr; }

    // Appends one row per body 0 .. numBodies-1 from the body store as it is now, labelled `frame`.
    // Does nothing when the trace is not open.
    void writeFrame(int frame);

    // Flushes and closes the file. False with `error` set when a write failed on the way.
    bool close(std::string& error);

  private:
    std::FILE* file_ = nullptr;
    std::string path_;
};

// Formats the row of body `body` (which must exist) for `frame`, with its line end, into `out`.
void formatBodyTraceRow(int frame, int body, std::string& out);
