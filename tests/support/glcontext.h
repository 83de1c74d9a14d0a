// A real OpenGL context for rendering tests (under Xvfb with Mesa), plus pixel read-back.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class TestGLContext {
public:
    // Opens a hidden 800 by 600 window with a compatibility context, depth 16 and stencil 8.
    TestGLContext(int width = 800, int height = 600);
    ~TestGLContext();
    TestGLContext(const TestGLContext&) = delete;
    TestGLContext& operator=(const TestGLContext&) = delete;

    bool ok() const { return m_ok; }
    const std::string& error() const { return m_error; }
    void swap();

    // The back buffer as RGB rows, top row first.
    std::vector<uint8_t> readPixels() const;
    // Writes the back buffer as a binary PPM into the test artefact directory.
    void saveArtifact(const std::string& name) const;

    int width() const { return m_width; }
    int height() const { return m_height; }

private:
    void* m_window = nullptr;
    void* m_context = nullptr;
    bool m_ok = false;
    std::string m_error;
    int m_width;
    int m_height;
};
