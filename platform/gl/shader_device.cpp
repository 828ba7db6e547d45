// shader_device.cpp -- the Direct3D 7 device on GLSL shaders and vertex buffers (OpenGL ES 3.0, WebGL2,
// OpenGL 3.3 core).
//
// The vertex shader computes what OpenGL's fixed function computes for the fixed-function device, per
// vertex (Gouraud):
//   eye = p x World x View, n = normal through the inverse transpose of World x View's 3 x 3 part;
//   primary = Me + Ma Ga + sum_i att_i spot_i (Ma La_i + Md Ld_i max(N.L_i, 0)), alpha Md.a;
//   specular = sum_i att_i spot_i Ms Ls_i (N.H_i)^P where N.L_i > 0, H_i = normalize(L_i + V) with V the
//   direction to the eye (local viewer) or (0, 0, 1);
// both clamped to 0..1 at the vertex. Lighting off gives white and no specular. The fragment shader
// modulates the texel by the primary colour and adds the specular after texturing.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/gl/gl_internal.h"
#include "platform/gl/shader_device.h"

namespace glimpl {

namespace {

const char* const vertexSource = R"(
in vec3 aPosition;
in vec3 aNormal;
in vec2 aTexCoord;
uniform mat4 uModelView;
uniform mat4 uProjection;
uniform mat3 uNormalMatrix;
uniform bool uNormalize;
uniform bool uLocalViewer;
uniform vec4 uMaterialDiffuse;
uniform vec3 uMaterialAmbient;
uniform vec3 uMaterialSpecular;
uniform vec3 uMaterialEmissive;
uniform float uPower;
uniform vec3 uGlobalAmbient;
uniform vec4 uLightPosition[8];  // eye space; w 0: unit direction towards the light, w 1: position
uniform vec3 uLightDiffuse[8];
uniform vec3 uLightSpecular[8];
uniform vec3 uLightAmbient[8];
uniform vec3 uLightAttenuation[8]; // constant, linear, quadratic
uniform vec3 uSpotDirection[8];    // eye space, unit
uniform vec2 uSpot[8];             // cosine of the cut-off (-2: no spot), exponent
SHADING out vec4 vColor;
SHADING out vec3 vSpecular;
out vec2 vTexCoord;

void main() {
    vec4 eye = uModelView * vec4(aPosition, 1.0);
    gl_Position = uProjection * eye;
    gl_PointSize = 1.0;
    vTexCoord = aTexCoord;
#if !LIGHTING
    vColor = vec4(1.0);
    vSpecular = vec3(0.0);
#else
    vec3 n = uNormalMatrix * aNormal;
    if (uNormalize) n = normalize(n);
    vec3 toEye = uLocalViewer ? normalize(-eye.xyz) : vec3(0.0, 0.0, 1.0);
    vec3 color = uMaterialEmissive + uMaterialAmbient * uGlobalAmbient;
    vec3 specular = vec3(0.0);
    for (int i = 0; i < LIGHTS; ++i) { // a constant count: unrolled, every array index constant
        vec3 l = uLightPosition[i].xyz;
        float att = 1.0;
#if POSITIONAL
        if (uLightPosition[i].w != 0.0) {
            vec3 d = uLightPosition[i].xyz - eye.xyz;
            float dist = length(d);
            l = d / dist;
            vec3 k = uLightAttenuation[i];
            att = 1.0 / (k.x + k.y * dist + k.z * dist * dist);
            if (uSpot[i].x > -1.5) {
                float c = dot(-l, uSpotDirection[i]);
                att *= c >= uSpot[i].x ? (uSpot[i].y > 0.0 ? pow(max(c, 0.0), uSpot[i].y) : 1.0) : 0.0;
            }
        }
#endif
        float nl = dot(n, l);
        color += att * (uMaterialAmbient * uLightAmbient[i] + max(nl, 0.0) * uMaterialDiffuse.rgb * uLightDiffuse[i]);
        if (nl > 0.0) {
            float nh = dot(n, normalize(l + toEye));
            float highlight = uPower > 0.0 ? (nh > 0.0 ? pow(nh, uPower) : 0.0) : 1.0;
            specular += att * highlight * uMaterialSpecular * uLightSpecular[i];
        }
    }
    vColor = vec4(clamp(color, 0.0, 1.0), clamp(uMaterialDiffuse.a, 0.0, 1.0));
    vSpecular = clamp(specular, 0.0, 1.0);
#endif
}
)";

const char* const fragmentSource = R"(
precision highp float;
SHADING in vec4 vColor;
SHADING in vec3 vSpecular;
in vec2 vTexCoord;
uniform sampler2D uTexture;
out vec4 fragColor;

void main() {
    vec4 c = vColor;
#if TEXTURED
    c *= texture(uTexture, vTexCoord);
#endif
    fragColor = vec4(min(c.rgb + vSpecular, vec3(1.0)), c.a);
}
)";

// Uniform locations of one program.
struct Uniforms {
    GLint modelView, projection, normalMatrix, normalize, localViewer;
    GLint materialDiffuse, materialAmbient, materialSpecular, materialEmissive, power, globalAmbient;
    GLint lightPosition, lightDiffuse, lightSpecular, lightAmbient, lightAttenuation;
    GLint spotDirection, spot, texture;
};

GLuint compile(GLenum type, const std::string& source) {
    GLuint shader = glCreateShader(type);
    const char* text = source.c_str();
    glShaderSource(shader, 1, &text, nullptr);
    glCompileShader(shader);
    GLint ok = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (ok != GL_TRUE) {
        char log[1024] = {};
        glGetShaderInfoLog(shader, sizeof log - 1, nullptr, log);
        std::fprintf(stderr, "platform: a shader of the shader device does not compile: %s\n", log);
        glDeleteShader(shader);
        return 0;
    }
    return shader;
}

// What a program is specialised for (bits), so that each draw runs only the code its states need.
enum Variant {
    FLAT = 1,         // flat colours (D3DSHADE_FLAT), else Gouraud
    TEXTURED = 2,     // a texture on stage 0
    LIGHTING = 4,     // lighting on
    POSITIONAL = 8,   // an enabled point or spot light
    LIGHT_COUNT = 16, // times the number of enabled lights (0 to 8)
    VARIANTS = 16 * 9,
};

// Links the program of one variant; 0 on failure.
GLuint link(int variant) {
    // GLSL ES 3.00 on OpenGL ES and WebGL2; the same text as GLSL 330 core on a desktop context.
    std::string head = contextIsEs() ? "#version 300 es\n" : "#version 330 core\n";
    head += (variant & FLAT) ? "#define SHADING flat\n" : "#define SHADING\n";
    head += (variant & TEXTURED) ? "#define TEXTURED 1\n" : "#define TEXTURED 0\n";
    head += (variant & LIGHTING) ? "#define LIGHTING 1\n" : "#define LIGHTING 0\n";
    head += (variant & POSITIONAL) ? "#define POSITIONAL 1\n" : "#define POSITIONAL 0\n";
    head += "#define LIGHTS " + std::to_string(variant / LIGHT_COUNT) + "\n";
    GLuint vs = compile(GL_VERTEX_SHADER, head + vertexSource);
    GLuint fs = compile(GL_FRAGMENT_SHADER, head + fragmentSource);
    GLuint program = 0;
    if (vs && fs) {
        program = glCreateProgram();
        glAttachShader(program, vs);
        glAttachShader(program, fs);
        glBindAttribLocation(program, 0, "aPosition");
        glBindAttribLocation(program, 1, "aNormal");
        glBindAttribLocation(program, 2, "aTexCoord");
        glLinkProgram(program);
        GLint ok = GL_FALSE;
        glGetProgramiv(program, GL_LINK_STATUS, &ok);
        if (ok != GL_TRUE) {
            char log[1024] = {};
            glGetProgramInfoLog(program, sizeof log - 1, nullptr, log);
            std::fprintf(stderr, "platform: the shader device's program does not link: %s\n", log);
            glDeleteProgram(program);
            program = 0;
        }
    }
    if (vs) glDeleteShader(vs);
    if (fs) glDeleteShader(fs);
    return program;
}

Uniforms locate(GLuint p) {
    auto at = [p](const char* name) { return glGetUniformLocation(p, name); };
    return {at("uModelView"),        at("uProjection"),
            at("uNormalMatrix"),     at("uNormalize"),
            at("uLocalViewer"),      at("uMaterialDiffuse"),
            at("uMaterialAmbient"),  at("uMaterialSpecular"),
            at("uMaterialEmissive"), at("uPower"),
            at("uGlobalAmbient"),    at("uLightPosition"),
            at("uLightDiffuse"),     at("uLightSpecular"),
            at("uLightAmbient"),     at("uLightAttenuation"),
            at("uSpotDirection"),    at("uSpot"),
            at("uTexture")};
}

// v x (the 3 x 3 part of m): a row vector through a row-major matrix.
void rowTimes3(const float v[3], const D3DMATRIX& m, float out[3]) {
    for (int j = 0; j < 3; ++j)
        out[j] = v[0] * m.m[0][j] + v[1] * m.m[1][j] + v[2] * m.m[2][j];
}

void normalize3(float v[3]) {
    float length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (length > 0.0f)
        for (int i = 0; i < 3; ++i)
            v[i] /= length;
}

struct ShaderDevice : GlDeviceBase {
    GLuint programs[VARIANTS] = {}; // linked on first use
    Uniforms uniforms[VARIANTS] = {};
    // What the uniforms of each program were computed from, apart from the world matrix.
    struct Inputs {
        D3DMATRIX projection, view;
        D3DVIEWPORT7 viewport;
        D3DMATERIAL7 material;
        D3DLIGHT7 lights[8]; // enabled ones; zero otherwise
        DWORD states[5];     // normalize, local viewer, specular, ambient, enabled-light bits
    };
    Inputs sent[VARIANTS] =
        {}; // all zero: differs from any real set of inputs (the viewport is never 0 wide)
    bool failed[VARIANTS] = {}; // did not link: draws of the variant draw nothing
    GLuint vertexArray = 0;
    GLuint vertexBuffer = 0;

    explicit ShaderDevice(GlSurface* t) : GlDeviceBase(t) {}
    ~ShaderDevice() override {
        if (!contextAlive()) return;
        for (GLuint p : programs)
            if (p) glDeleteProgram(p);
        if (vertexArray) glDeleteVertexArrays(1, &vertexArray);
        if (vertexBuffer) glDeleteBuffers(1, &vertexBuffer);
    }

    // Compiles the programs and sets up the vertex layout; false if the context cannot run them.
    bool prepare() {
        if (!contextAlive()) return false;
        // The system's two: lit by one directional light, and unlit (see-through), both textured.
        if (!program(LIGHTING | TEXTURED | LIGHT_COUNT) || !program(TEXTURED)) return false;
        glGenVertexArrays(1, &vertexArray);
        glGenBuffers(1, &vertexBuffer);
        glBindVertexArray(vertexArray);
        glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer);
        const GLsizei stride = 32; // x y z, nx ny nz, tu tv
        glEnableVertexAttribArray(0);
        glEnableVertexAttribArray(1);
        glEnableVertexAttribArray(2);
        glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<const void*>(0));
        glVertexAttribPointer(1, 3, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<const void*>(12));
        glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<const void*>(24));
        glBindVertexArray(0);
        glBindBuffer(GL_ARRAY_BUFFER, 0);
        return glGetError() == GL_NO_ERROR;
    }

    // The program of a variant, linked on first use; 0 if it does not link.
    GLuint program(int variant) {
        if (!programs[variant] && !failed[variant]) {
            programs[variant] = link(variant);
            failed[variant] = programs[variant] == 0;
            if (programs[variant]) uniforms[variant] = locate(programs[variant]);
        }
        return programs[variant];
    }

    void setUniforms(const Uniforms& u);
    void applyStates();
    void drawVertices(GLenum mode, const float* v, GLsizei count) override;
};

void ShaderDevice::setUniforms(const Uniforms& u) {
    D3DMATRIX modelView = multiply(world, view);
    // A row-major Direct3D matrix is the column-major form of the matrix GLSL multiplies column vectors by.
    glUniformMatrix4fv(u.modelView, 1, GL_FALSE, &modelView.m[0][0]);

    // Normals go through the inverse of the 3 x 3 part A of World x View, transposed for row vectors:
    // n' = n x A^-T, which GLSL computes as A^-1 n, given column-major.
    const auto& a = modelView.m;
    float cof[3][3];
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            int i1 = (i + 1) % 3, i2 = (i + 2) % 3, j1 = (j + 1) % 3, j2 = (j + 2) % 3;
            cof[i][j] = a[i1][j1] * a[i2][j2] - a[i1][j2] * a[i2][j1];
        }
    float det = a[0][0] * cof[0][0] + a[0][1] * cof[0][1] + a[0][2] * cof[0][2];
    float normalMatrix[9] = {};
    if (det != 0.0f)
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c)
                normalMatrix[c * 3 + r] = cof[c][r] / det; // (A^-1)[r][c] = cof[c][r] / det
    glUniformMatrix3fv(u.normalMatrix, 1, GL_FALSE, normalMatrix);

    // The rest changes seldom (the system sets it once): sent only when it differs from what this
    // program was last given.
    Inputs now;
    std::memset(&now, 0, sizeof now);
    now.projection = projection;
    now.view = view;
    now.viewport = viewport;
    now.material = material;
    for (int i = 0; i < 8; ++i)
        if (lightEnabled[i]) now.lights[i] = lights[i];
    now.states[0] = state(D3DRENDERSTATE_NORMALIZENORMALS);
    now.states[1] = state(D3DRENDERSTATE_LOCALVIEWER);
    now.states[2] = state(D3DRENDERSTATE_SPECULARENABLE);
    now.states[3] = state(D3DRENDERSTATE_AMBIENT);
    for (int i = 0; i < 8; ++i)
        now.states[4] |= lightEnabled[i] ? 1u << i : 0u;
    Inputs& last = sent[&u - uniforms];
    if (std::memcmp(&now, &last, sizeof now) == 0) return;
    last = now;
    D3DMATRIX p = glProjection(projection, viewport);
    glUniformMatrix4fv(u.projection, 1, GL_FALSE, &p.m[0][0]);
    if (!state(D3DRENDERSTATE_LIGHTING)) return;
    glUniform1i(u.normalize, state(D3DRENDERSTATE_NORMALIZENORMALS) ? 1 : 0);
    glUniform1i(u.localViewer, state(D3DRENDERSTATE_LOCALVIEWER) ? 1 : 0);

    const bool specular = state(D3DRENDERSTATE_SPECULARENABLE) != FALSE;
    const D3DMATERIAL7& m = material;
    glUniform4f(u.materialDiffuse, m.diffuse.r, m.diffuse.g, m.diffuse.b, m.diffuse.a);
    glUniform3f(u.materialAmbient, m.ambient.r, m.ambient.g, m.ambient.b);
    if (specular)
        glUniform3f(u.materialSpecular, m.specular.r, m.specular.g, m.specular.b);
    else
        glUniform3f(u.materialSpecular, 0.0f, 0.0f, 0.0f);
    glUniform3f(u.materialEmissive, m.emissive.r, m.emissive.g, m.emissive.b);
    glUniform1f(u.power, std::fmin(128.0f, std::fmax(0.0f, m.power)));
    DWORD amb = state(D3DRENDERSTATE_AMBIENT);
    glUniform3f(u.globalAmbient, float((amb >> 16) & 0xFF) / 255.0f, float((amb >> 8) & 0xFF) / 255.0f,
                float(amb & 0xFF) / 255.0f);

    // Enabled lights, in eye space (light positions and directions are in world space).
    float position[8][4], diffuse[8][3], specularColor[8][3], ambient[8][3], attenuation[8][3], spotDir[8][3],
        spot[8][2];
    int n = 0;
    for (int i = 0; i < 8; ++i) {
        if (!lightEnabled[i]) continue;
        const D3DLIGHT7& l = lights[i];
        const D3DCOLORVALUE* colours[3] = {&l.dcvDiffuse, &l.dcvSpecular, &l.dcvAmbient};
        float(*slots[3])[3] = {diffuse, specularColor, ambient};
        for (int k = 0; k < 3; ++k) {
            slots[k][n][0] = colours[k]->r;
            slots[k][n][1] = colours[k]->g;
            slots[k][n][2] = colours[k]->b;
        }
        spot[n][0] = -2.0f; // no spot cone
        spot[n][1] = 0.0f;
        spotDir[n][0] = spotDir[n][1] = 0.0f;
        spotDir[n][2] = 1.0f;
        if (l.dltType == D3DLIGHT_DIRECTIONAL) {
            const float towards[3] = {-l.dvDirection.x, -l.dvDirection.y, -l.dvDirection.z};
            rowTimes3(towards, view, position[n]);
            normalize3(position[n]);
            position[n][3] = 0.0f;
            attenuation[n][0] = 1.0f;
            attenuation[n][1] = attenuation[n][2] = 0.0f;
        } else {
            const float at[3] = {l.dvPosition.x, l.dvPosition.y, l.dvPosition.z};
            rowTimes3(at, view, position[n]);
            for (int j = 0; j < 3; ++j)
                position[n][j] += view.m[3][j];
            position[n][3] = 1.0f;
            attenuation[n][0] = l.dvAttenuation0;
            attenuation[n][1] = l.dvAttenuation1;
            attenuation[n][2] = l.dvAttenuation2;
            if (l.dltType == D3DLIGHT_SPOT) {
                const float dir[3] = {l.dvDirection.x, l.dvDirection.y, l.dvDirection.z};
                rowTimes3(dir, view, spotDir[n]);
                normalize3(spotDir[n]);
                float cutoff = std::fmin(90.0f, l.dvPhi * 0.5f * 57.29578f);
                spot[n][0] = std::cos(cutoff / 57.29578f);
                spot[n][1] = std::fmin(128.0f, std::fmax(0.0f, l.dvFalloff));
            }
        }
        ++n;
    }
    if (n > 0) {
        glUniform4fv(u.lightPosition, n, &position[0][0]);
        glUniform3fv(u.lightDiffuse, n, &diffuse[0][0]);
        glUniform3fv(u.lightSpecular, n, &specularColor[0][0]);
        glUniform3fv(u.lightAmbient, n, &ambient[0][0]);
        glUniform3fv(u.lightAttenuation, n, &attenuation[0][0]);
        glUniform3fv(u.spotDirection, n, &spotDir[0][0]);
        glUniform2fv(u.spot, n, &spot[0][0]);
    }
}

void ShaderDevice::applyStates() {
    applyDepthBlendCull();
}

void ShaderDevice::drawVertices(GLenum mode, const float* v, GLsizei count) {
    applyStates();
    const bool textured = texture && texture->texture;
    int variant = state(D3DRENDERSTATE_SHADEMODE) == D3DSHADE_FLAT ? FLAT : 0;
    if (textured) variant |= TEXTURED;
    if (state(D3DRENDERSTATE_LIGHTING)) {
        variant |= LIGHTING;
        for (int i = 0; i < 8; ++i)
            if (lightEnabled[i]) {
                variant += LIGHT_COUNT;
                if (lights[i].dltType != D3DLIGHT_DIRECTIONAL) variant |= POSITIONAL;
            }
    }
    if (!program(variant)) return;
    const Uniforms& u = uniforms[variant];
    glUseProgram(programs[variant]);
    setUniforms(u);
    glUniform1i(u.texture, 0);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, textured ? texture->texture : 0);

    // The vertices go to a fresh buffer store each draw, so a draw never waits for the previous one.
    glBindVertexArray(vertexArray);
    glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer);
    glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(count) * 32, v, GL_STREAM_DRAW);
    glDrawArrays(mode, 0, count);
    glBindVertexArray(0);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
}

GlDeviceBase* newShaderDevice(GlSurface* target) {
    ShaderDevice* device = new ShaderDevice(target);
    if (!device->prepare()) {
        device->Release();
        return nullptr;
    }
    return device;
}

} // namespace

} // namespace glimpl

HRESULT shaderCreateDirectDraw(GUID* guid, REFIID iid, IUnknown* outer, IDirectDraw7** directDraw) {
    return glimpl::createDirectDraw(glimpl::newShaderDevice, guid, iid, outer, directDraw);
}
