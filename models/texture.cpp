#include "models/texture.h"

#include "platform/glprocs.h"
#include "platform/messagebox.h"

#include <GL/glu.h>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <new>
#include <tuple>
#include <vector>

ActiveTextureProc g_glActiveTextureARB = nullptr;
MultiTexCoord2fProc g_glMultiTexCoord2fARB = nullptr;

namespace {

// Larger files are not images the game could use; refusing them keeps a stray file from
// eating the memory.
constexpr std::streamoff MAX_BMP_FILE_BYTES = std::streamoff(512) * 1024 * 1024;

bool s_combine = false;
bool s_missingReported = false;

void showError(const std::string& text) {
    ShowMessageBox(text, "Error", MessageBoxButtons::Ok, MessageBoxIcon::Error);
}

std::string openFailedText(const std::string& fileName) {
    std::string text = BMP_OPEN_FAILED_FORMAT;
    text.replace(text.find("%s"), 2, fileName);
    return text;
}

// One texture per file, loader and version of the file. Nothing deletes textures, and every
// level start, every gem and every enemy loads its images again: without sharing, each new
// game left the whole level's textures behind (about 70 names and 25 MB a game). A name is
// reused only while it is still a texture, and a rewritten file is loaded afresh.
enum LoaderKind { LOADER_LINEAR, LOADER_IMAGE, LOADER_MIPMAP };
struct LoadedKey {
    LoaderKind kind;
    std::string file;
    std::uintmax_t size;
    std::filesystem::file_time_type written;
    bool operator<(const LoadedKey& o) const {
        return std::tie(kind, file, size, written) < std::tie(o.kind, o.file, o.size, o.written);
    }
};

std::map<LoadedKey, GLuint>& loadedTextures() {
    static std::map<LoadedKey, GLuint> loaded;
    return loaded;
}

std::optional<LoadedKey> keyFor(LoaderKind kind, const std::string& fileName) {
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(fileName, error);
    if (error)
        return std::nullopt;
    const auto written = std::filesystem::last_write_time(fileName, error);
    if (error)
        return std::nullopt;
    return LoadedKey{kind, fileName, size, written};
}

// A texture loaded before from the same file, bound as a fresh load leaves it; 0 if none.
GLuint reuse(const std::optional<LoadedKey>& key) {
    if (!key)
        return 0;
    auto it = loadedTextures().find(*key);
    if (it == loadedTextures().end() || !glIsTexture(it->second))
        return 0;
    glBindTexture(GL_TEXTURE_2D, it->second);
    return it->second;
}

GLuint remember(const std::optional<LoadedKey>& key, GLuint name) {
    if (key && name != 0)
        loadedTextures()[*key] = name;
    return name;
}

bool fileExists(const std::string& fileName) {
    if (fileName.empty())
        return false;
    std::ifstream f(fileName, std::ios::binary);
    return f.is_open();
}

// Whether the space-separated extension list holds exactly this name.
bool hasExtension(const char* name) {
    const char* list = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    if (!list)
        return false;
    const size_t len = std::strlen(name);
    for (const char* p = std::strstr(list, name); p; p = std::strstr(p + 1, name)) {
        bool startOk = p == list || p[-1] == ' ';
        bool endOk = p[len] == ' ' || p[len] == '\0';
        if (startOk && endOk)
            return true;
    }
    return false;
}

// Steps 2 to 4 of the plain upload.
GLuint uploadLinear(const ImageRecord& image) {
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1); // our rows carry no padding
    glTexImage2D(GL_TEXTURE_2D, 0, 3, image.width, image.height, 0, GL_RGB, GL_UNSIGNED_BYTE,
                 image.pixels.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    return name;
}

} // namespace

std::optional<ImageRecord> loadImage(const std::string& fileName) {
    std::ifstream f(fileName, std::ios::binary | std::ios::ate);
    if (!f.is_open()) {
        showError(openFailedText(fileName));
        return std::nullopt;
    }
    std::streamoff size = f.tellg();
    if (size < 0) {
        showError(openFailedText(fileName));
        return std::nullopt;
    }
    if (size > MAX_BMP_FILE_BYTES) {
        showError(BMP_OUT_OF_MEMORY);
        return std::nullopt;
    }
    std::vector<uint8_t> bytes;
    try {
        bytes.resize(size_t(size));
    } catch (const std::bad_alloc&) {
        showError(BMP_OUT_OF_MEMORY);
        return std::nullopt;
    }
    f.seekg(0);
    if (size > 0 && !f.read(reinterpret_cast<char*>(bytes.data()), size)) {
        showError(openFailedText(fileName));
        return std::nullopt;
    }
    ImageRecord image;
    std::string error;
    if (!decodeBmp(bytes.data(), bytes.size(), image, error)) {
        showError(error);
        return std::nullopt;
    }
    return image;
}

GLuint loadTexture(const std::string& fileName) {
    if (!fileExists(fileName))
        return 0;
    const auto key = keyFor(LOADER_LINEAR, fileName);
    if (GLuint name = reuse(key))
        return name;
    std::optional<ImageRecord> image = loadImage(fileName);
    if (!image)
        return 0;
    return remember(key, uploadLinear(*image));
}

GLuint loadImageTexture(const std::string& fileName) {
    const auto key = keyFor(LOADER_IMAGE, fileName);
    if (GLuint name = reuse(key))
        return name;
    std::optional<ImageRecord> image = loadImage(fileName);
    if (!image)
        return 0;
    GLuint name = uploadLinear(*image);
    // Screen images are drawn once across their rectangle; repeating would blend the
    // opposite edge into their borders.
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    return remember(key, name);
}

bool loadMipmappedTexture(GLuint* target, const std::string& fileName) {
    if (!target || !fileExists(fileName))
        return false;
    const auto key = keyFor(LOADER_MIPMAP, fileName);
    if (GLuint name = reuse(key)) {
        *target = name;
        glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
        return true;
    }
    std::optional<ImageRecord> image = loadImage(fileName);
    if (!image)
        return false;
    glGenTextures(1, target);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glBindTexture(GL_TEXTURE_2D, *target);
    gluBuild2DMipmaps(GL_TEXTURE_2D, 3, image->width, image->height, GL_RGB, GL_UNSIGNED_BYTE,
                      image->pixels.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_NEAREST);
    glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    remember(key, *target);
    return true;
}

void ForgetLoadedTextures() {
    loadedTextures().clear();
}

bool loadMultitextureEntryPoints() {
    g_glActiveTextureARB = nullptr;
    g_glMultiTexCoord2fARB = nullptr;
    // Drivers may hand out stubs for functions they do not offer: trust the extension list.
    if (hasExtension("GL_ARB_multitexture")) {
        g_glActiveTextureARB =
            reinterpret_cast<ActiveTextureProc>(GetGLProcAddress("glActiveTextureARB"));
        g_glMultiTexCoord2fARB =
            reinterpret_cast<MultiTexCoord2fProc>(GetGLProcAddress("glMultiTexCoord2fARB"));
    }
    if (!g_glActiveTextureARB || !g_glMultiTexCoord2fARB) {
        g_glActiveTextureARB = nullptr;
        g_glMultiTexCoord2fARB = nullptr;
        s_combine = false;
        if (!s_missingReported) {
            s_missingReported = true;
            showError("This OpenGL driver does not offer the ARB multitexture extension.\n"
                      "The landscape is drawn without its detail texture.");
        }
        return false;
    }
    s_combine = hasExtension("GL_ARB_texture_env_combine");
    return true;
}

bool multitextureAvailable() {
    return g_glActiveTextureARB && g_glMultiTexCoord2fARB;
}

bool textureCombineAvailable() {
    return s_combine && multitextureAvailable();
}

void drawMaskedImage(GLuint mask, GLuint image, float left, float top, float right, float bottom) {
    glPushAttrib(GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT | GL_TEXTURE_BIT | GL_CURRENT_BIT);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glDisable(GL_CULL_FACE);
    glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glColor4f(1, 1, 1, 1);
    auto quad = [&]() {
        glBegin(GL_QUADS);
        glTexCoord2f(0, 1);
        glVertex2f(left, top);
        glTexCoord2f(0, 0);
        glVertex2f(left, bottom);
        glTexCoord2f(1, 0);
        glVertex2f(right, bottom);
        glTexCoord2f(1, 1);
        glVertex2f(right, top);
        glEnd();
    };
    glBindTexture(GL_TEXTURE_2D, mask);
    glBlendFunc(GL_DST_COLOR, GL_ZERO);
    quad();
    glBindTexture(GL_TEXTURE_2D, image);
    glBlendFunc(GL_ONE, GL_ONE);
    quad();
    glPopAttrib();
}
