// BitmapFont: all on-screen text. A TrueType face, found through fontconfig by name ("Arial"
// resolves to Liberation Sans, "Times New Roman" to Liberation Serif, anything else to what
// fontconfig offers) and rendered bold by FreeType into 96 OpenGL display lists, one glBitmap
// per character 32 to 127, each with the glyph's origin and advance.
//
// Costs: the first font of a face and height resolves the face and renders 96 glyphs; the
// rendered glyphs are kept per face and height for the process, so later fonts of the same
// kind (the HUD builds one every frame) cost only 96 list compilations. Needs a current GL
// context to build, print and delete.
//
// Not guaranteed: only codes 32 to 127 have lists; other bytes are dropped when printing.
// When no face can be found the lists are empty (text draws nothing) and a message goes to
// standard error once; nothing crashes. Glyphs are one bit deep, as system bitmap fonts are.
#pragma once

#include <GL/gl.h>
#include <cstdint>
#include <string>

constexpr int32_t FONT_FIRST_CHAR = 32;
constexpr int32_t FONT_CHAR_COUNT = 96;
constexpr int32_t FONT_MAX_TEXT = 255;

class BitmapFont {
public:
    // Stores the height (pixels of character height), sets the position to (300, 300), the
    // colour to white, and builds the 96 lists.
    BitmapFont(const char* faceName, int32_t height);
    virtual ~BitmapFont();
    BitmapFont(const BitmapFont&) = delete;
    BitmapFont& operator=(const BitmapFont&) = delete;

    // The baseline start of the text in the 800 by 600 top-left screen space.
    void setPosition(float x, float y) {
        m_x = x;
        m_y = y;
    }
    void setColor(float red, float green, float blue) {
        m_red = red;
        m_green = green;
        m_blue = blue;
    }

    // The advance of the text in pixels, so that a line can be centred.
    float textWidth(const char* text) const;

    GLuint m_listBase = 0;
    float m_advances[FONT_CHAR_COUNT] = {};
    float m_x = 300.0f;
    float m_y = 300.0f;
    float m_red = 1.0f;
    float m_green = 1.0f;
    float m_blue = 1.0f;
    int32_t m_height = 0;
};

// Formats like printf and draws at the font's position and colour, cut to 255 characters.
// A null font or format draws nothing. Leaves the matrix mode GL_MODELVIEW and every
// attribute as it was.
void printText(const BitmapFont* font, const char* format, ...)
    __attribute__((format(printf, 2, 3)));

// The font file fontconfig resolves a face name to, bold (empty when none); for tests.
std::string resolveFontFile(const char* faceName);

// The screens' and speech font (shell/gamecontext.cpp); null until a screen makes it.
extern BitmapFont* g_font;
