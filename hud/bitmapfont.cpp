#include "hud/bitmapfont.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <cstdarg>
#include <cstdio>
#include <map>
#include <utility>
#include <vector>

namespace {

// One rendered character, ready for glBitmap: rows bottom first, each row padded to bytes.
struct Glyph {
    GLsizei m_width = 0;
    GLsizei m_height = 0;
    GLfloat m_xOrigin = 0.0f;
    GLfloat m_yOrigin = 0.0f;
    GLfloat m_advance = 0.0f;
    std::vector<GLubyte> m_bits;
};

struct GlyphSet {
    Glyph m_glyphs[FONT_CHAR_COUNT];
};

struct FreeTypeLibrary {
    FT_Library m_library = nullptr;
    bool m_ok = false;
    FreeTypeLibrary() { m_ok = FT_Init_FreeType(&m_library) == 0; }
    ~FreeTypeLibrary() {
        if (m_ok)
            FT_Done_FreeType(m_library);
    }
};

struct FaceHandle {
    FT_Face m_face = nullptr;
    ~FaceHandle() {
        if (m_face)
            FT_Done_Face(m_face);
    }
};

FreeTypeLibrary& freeType() {
    static FreeTypeLibrary library;
    return library;
}

// Rendered glyphs per face name and height; the HUD asks for the same font every frame.
std::map<std::pair<std::string, int32_t>, GlyphSet>& glyphCache() {
    static std::map<std::pair<std::string, int32_t>, GlyphSet> cache;
    return cache;
}

std::string resolveFont(const char* faceName, int* index) {
    *index = 0;
    if (!FcInit())
        return std::string();
    FcPattern* pattern = FcPatternCreate();
    if (!pattern)
        return std::string();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(faceName));
    FcPatternAddInteger(pattern, FC_WEIGHT, FC_WEIGHT_BOLD);
    FcPatternAddInteger(pattern, FC_SLANT, FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    std::string file;
    if (match) {
        FcChar8* path = nullptr;
        if (FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch && path)
            file = reinterpret_cast<const char*>(path);
        int i = 0;
        if (FcPatternGetInteger(match, FC_INDEX, 0, &i) == FcResultMatch)
            *index = i;
        FcPatternDestroy(match);
    }
    FcPatternDestroy(pattern);
    return file;
}

// Copies a one-bit FreeType bitmap into glBitmap order (bottom row first).
void copyBitmap(const FT_Bitmap& bitmap, Glyph& glyph) {
    glyph.m_width = static_cast<GLsizei>(bitmap.width);
    glyph.m_height = static_cast<GLsizei>(bitmap.rows);
    size_t rowBytes = (bitmap.width + 7) / 8;
    glyph.m_bits.assign(rowBytes * bitmap.rows, 0);
    int pitch = bitmap.pitch < 0 ? -bitmap.pitch : bitmap.pitch;
    if (static_cast<size_t>(pitch) < rowBytes || !bitmap.buffer)
        return;
    for (unsigned row = 0; row < bitmap.rows; ++row) {
        // A negative pitch stores the rows bottom first already.
        unsigned srcRow = bitmap.pitch < 0 ? bitmap.rows - 1 - row : row;
        const unsigned char* src = bitmap.buffer + static_cast<size_t>(srcRow) * pitch;
        GLubyte* dst = glyph.m_bits.data() + (bitmap.rows - 1 - row) * rowBytes;
        for (size_t b = 0; b < rowBytes; ++b)
            dst[b] = src[b];
    }
}

bool renderGlyphs(const char* faceName, int32_t height, GlyphSet& set) {
    FreeTypeLibrary& library = freeType();
    if (!library.m_ok)
        return false;
    int index = 0;
    std::string file = resolveFont(faceName, &index);
    if (file.empty())
        return false;
    FaceHandle face;
    if (FT_New_Face(library.m_library, file.c_str(), index, &face.m_face) != 0)
        return false;
    // The height asks for the character (em) height, as a negative GDI height does.
    if (FT_Set_Pixel_Sizes(face.m_face, 0, static_cast<FT_UInt>(height)) != 0)
        return false;
    bool needsBold = !(face.m_face->style_flags & FT_STYLE_FLAG_BOLD);
    for (int32_t c = 0; c < FONT_CHAR_COUNT; ++c) {
        Glyph& glyph = set.m_glyphs[c];
        FT_UInt glyphIndex = FT_Get_Char_Index(face.m_face, FONT_FIRST_CHAR + c);
        if (FT_Load_Glyph(face.m_face, glyphIndex, FT_LOAD_DEFAULT | FT_LOAD_TARGET_MONO) != 0)
            continue;
        FT_GlyphSlot slot = face.m_face->glyph;
        if (needsBold && slot->format == FT_GLYPH_FORMAT_OUTLINE)
            FT_Outline_Embolden(&slot->outline, height * 2); // 1/32 of the em, in 26.6 units
        if (FT_Render_Glyph(slot, FT_RENDER_MODE_MONO) != 0)
            continue;
        if (slot->bitmap.pixel_mode == FT_PIXEL_MODE_MONO)
            copyBitmap(slot->bitmap, glyph);
        glyph.m_xOrigin = static_cast<GLfloat>(-slot->bitmap_left);
        glyph.m_yOrigin =
            static_cast<GLfloat>(static_cast<int>(slot->bitmap.rows) - slot->bitmap_top);
        glyph.m_advance = static_cast<GLfloat>(slot->advance.x) / 64.0f;
    }
    return true;
}

const GlyphSet& glyphsFor(const char* faceName, int32_t height) {
    auto key = std::make_pair(std::string(faceName ? faceName : ""), height);
    auto& cache = glyphCache();
    auto it = cache.find(key);
    if (it != cache.end())
        return it->second;
    GlyphSet& set = cache[key];
    if (height <= 0 || !renderGlyphs(key.first.c_str(), height, set))
        std::fprintf(stderr, "Font \"%s\" at %d pixels could not be built; text is not drawn.\n",
                     key.first.c_str(), height);
    return set;
}

} // namespace

std::string resolveFontFile(const char* faceName) {
    int index = 0;
    return resolveFont(faceName ? faceName : "", &index);
}

BitmapFont::BitmapFont(const char* faceName, int32_t height) : m_height(height) {
    m_listBase = glGenLists(FONT_CHAR_COUNT);
    if (m_listBase == 0)
        return;
    const GlyphSet& set = glyphsFor(faceName, height);
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    glPixelStorei(GL_UNPACK_LSB_FIRST, GL_FALSE);
    for (int32_t c = 0; c < FONT_CHAR_COUNT; ++c) {
        const Glyph& g = set.m_glyphs[c];
        m_advances[c] = g.m_advance;
        glNewList(m_listBase + c, GL_COMPILE);
        // A glyph that was never rendered stays an empty list.
        if (!g.m_bits.empty() || g.m_advance != 0.0f)
            glBitmap(g.m_width, g.m_height, g.m_xOrigin, g.m_yOrigin, g.m_advance, 0.0f,
                     g.m_bits.empty() ? nullptr : g.m_bits.data());
        glEndList();
    }
    glPopClientAttrib();
}

float BitmapFont::textWidth(const char* text) const {
    float width = 0.0f;
    for (const char* c = text; c && *c; ++c) {
        const int32_t index = static_cast<unsigned char>(*c) - FONT_FIRST_CHAR;
        if (index >= 0 && index < FONT_CHAR_COUNT)
            width += m_advances[index];
    }
    return width;
}

BitmapFont::~BitmapFont() {
    if (m_listBase != 0)
        glDeleteLists(m_listBase, FONT_CHAR_COUNT);
}

void printText(const BitmapFont* font, const char* format, ...) {
    if (!font || !format || font->m_listBase == 0)
        return;
    char text[FONT_MAX_TEXT + 1];
    va_list args;
    va_start(args, format);
    int written = std::vsnprintf(text, sizeof text, format, args); // cuts at 255
    va_end(args);
    if (written <= 0)
        return;
    // Only 32 to 127 have lists; any other byte would call someone else's list.
    GLsizei length = 0;
    for (const char* p = text; *p; ++p) {
        unsigned char ch = static_cast<unsigned char>(*p);
        if (ch >= FONT_FIRST_CHAR && ch < FONT_FIRST_CHAR + FONT_CHAR_COUNT)
            text[length++] = static_cast<char>(ch);
    }

    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glListBase(font->m_listBase - FONT_FIRST_CHAR);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0.0, 800.0, 600.0, 0.0, -1.0, 1.0);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_LIGHTING);
    glColor3f(font->m_red, font->m_green, font->m_blue);
    glRasterPos2f(font->m_x, font->m_y);
    glDepthFunc(GL_ALWAYS);
    glCallLists(length, GL_UNSIGNED_BYTE, text);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glPopAttrib();
}
