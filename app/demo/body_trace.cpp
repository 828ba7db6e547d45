// body_trace.cpp -- writes the body trace from the body store
#include "app/demo/body_trace.h"

#include "physics/bodies.h"

#include <cerrno>
#include <cstring>

const char* const BODY_TRACE_HEADER =
    "frame,body,m00,m01,m02,m10,m11,m12,m20,m21,m22,px,py,pz,vx,vy,vz,wx,wy,wz,fx,fy,fz,tx,ty,tz";

namespace {

void appendFloat(std::string& out, float value) {
    char buf[32];
    std::snprintf(buf, sizeof buf, ",%.9g", static_cast<double>(value));
    out += buf;
}

void appendVector(std::string& out, const Vector3& v) {
    appendFloat(out, v.x);
    appendFloat(out, v.y);
    appendFloat(out, v.z);
}

} // namespace

void formatBodyTraceRow(int frame, int body, std::string& out) {
    out = std::to_string(frame) + "," + std::to_string(body);
    const Matrix4& w = bodyRenderObject[body]->world;
    for (int r = 0; r < 4; ++r) // rows 0-2: orientation, row 3: position; column 3 is not written
        for (int c = 0; c < 3; ++c)
            appendFloat(out, w.m[4 * r + c]);
    appendVector(out, bodyVelocity[body]);
    appendVector(out, bodyAngularVelocity[body]);
    appendVector(out, bodyForce[body]);
    appendVector(out, bodyTorque[body]);
    out += '\n';
}

BodyTrace::~BodyTrace() {
    std::string ignored;
    close(ignored);
}

bool BodyTrace::open(const std::string& path, std::string& error) {
    std::string ignored;
    close(ignored);
    file_ = std::fopen(path.c_str(), "wb");
    if (!file_) {
        error = path + ": cannot write the trace (" + std::strerror(errno) + ")";
        return false;
    }
    path_ = path;
    std::fprintf(file_, "%s\n", BODY_TRACE_HEADER);
    return true;
}

void BodyTrace::writeFrame(int frame) {
    if (!file_) return;
    std::string row;
    for (int i = 0; i < numBodies; ++i) {
        formatBodyTraceRow(frame, i, row);
        std::fwrite(row.data(), 1, row.size(), file_);
    }
}

bool BodyTrace::close(std::string& error) {
    if (!file_) return true;
    bool failed = std::ferror(file_) != 0;
    failed = (std::fclose(file_) != 0) || failed;
    file_ = nullptr;
    if (failed) {
        error = path_ + ": writing the trace failed";
        return false;
    }
    return true;
}
