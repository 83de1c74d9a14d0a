#include "support/glcontext.h"

#include "models/texture.h"

#include <SDL.h>
#include <GL/gl.h>
#include <chrono>
#include <cstdio>
#include <dlfcn.h>
#include <filesystem>
#include <thread>

namespace {
// SDL and GLX unload the GL libraries and the Mesa driver when the last context goes, so
// the leak checker of sanitizer builds could no longer name the module of what they keep
// for the process's life (and could not suppress it). Pinning them keeps them named.
void pinGLLibraries() {
    static bool pinned = false;
    if (pinned)
        return;
    pinned = true;
    for (const char* lib : {"libGL.so.1", "libGLX_mesa.so.0", "libGLdispatch.so.0",
                            "/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so"})
        dlopen(lib, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
}
} // namespace

TestGLContext::TestGLContext(int width, int height) : m_width(width), m_height(height) {
    pinGLLibraries();
    // The suite's shared display now and then refuses one of many clients connecting at once;
    // a second try a moment later is enough.
    bool video = false;
    for (int attempt = 0; attempt < 3 && !video; ++attempt) {
        if (attempt > 0)
            std::this_thread::sleep_for(std::chrono::seconds(1));
        video = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
    }
    if (!video) {
        m_error = SDL_GetError();
        return;
    }
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_Window* w =
        SDL_CreateWindow("tarvo test", 0, 0, width, height, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (!w) {
        m_error = SDL_GetError();
        return;
    }
    m_window = w;
    SDL_GLContext c = SDL_GL_CreateContext(w);
    ForgetLoadedTextures();
    if (!c) {
        m_error = SDL_GetError();
        return;
    }
    m_context = c;
    SDL_GL_MakeCurrent(w, c);
    glViewport(0, 0, width, height);
    m_ok = true;
}

TestGLContext::~TestGLContext() {
    if (m_context)
        SDL_GL_DeleteContext(static_cast<SDL_GLContext>(m_context));
    if (m_window)
        SDL_DestroyWindow(static_cast<SDL_Window*>(m_window));
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

void TestGLContext::swap() {
    SDL_GL_SwapWindow(static_cast<SDL_Window*>(m_window));
}

std::vector<uint8_t> TestGLContext::readPixels() const {
    std::vector<uint8_t> rows(static_cast<size_t>(m_width) * m_height * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, m_width, m_height, GL_RGB, GL_UNSIGNED_BYTE, rows.data());
    std::vector<uint8_t> flipped(rows.size());
    const size_t stride = static_cast<size_t>(m_width) * 3;
    for (int y = 0; y < m_height; ++y)
        std::copy(rows.begin() + static_cast<long>(y * stride),
                  rows.begin() + static_cast<long>((y + 1) * stride),
                  flipped.begin() + static_cast<long>((m_height - 1 - y) * stride));
    return flipped;
}

void TestGLContext::saveArtifact(const std::string& name) const {
    std::filesystem::create_directories(TARVO_ARTIFACT_DIR);
    std::string path = std::string(TARVO_ARTIFACT_DIR) + "/" + name + ".ppm";
    std::vector<uint8_t> px = readPixels();
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fprintf(f, "P6\n%d %d\n255\n", m_width, m_height);
        std::fwrite(px.data(), 1, px.size(), f);
        std::fclose(f);
    }
}
