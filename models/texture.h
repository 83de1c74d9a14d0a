// Textures: BMP files become OpenGL 2D textures, always three-component RGB.
//
// Three upload paths share one decoder (models/bmpdecoder.h): plain linear textures for models,
// effects, the HUD and the dialog box (no mipmaps, so their images must have power-of-two
// sizes); mipmapped textures for the large world surfaces (any size, gluBuild2DMipmaps
// rescales); and the two multitexture entry points that the terrain draws with.
//
// Costs: every load reads and decodes the whole file and uploads it; mipmapping a 2048 by 2048
// map costs tens of milliseconds. Load at level start, never per frame. Texture name 0 means
// "none"; textures are never deleted and live as long as the context. Loading the same file
// again (unchanged, through the same loader) hands out the texture it made before, so objects
// of one kind share their images and a new game adds none.
//
// Failures: a missing file is silent on the model and mipmap paths (0 or false). A file that
// exists but does not decode shows the decoder's message in a box titled "Error". Every GL
// call here needs a current context; the file checks before them do not.
#pragma once

#include "models/bmpdecoder.h"

#include <GL/gl.h>
#include <optional>
#include <string>

// Reads and decodes a BMP file. On failure shows "Failed to open DIB file NAME.\n",
// "Unknown DIB file format.", "Image file conversion error." or "Out of memory." in a box
// titled "Error" and returns nothing.
std::optional<ImageRecord> loadImage(const std::string& fileName);

// A linear-filtered texture for a model material or an effect; 0 when the file does not exist
// (silently) or does not decode.
GLuint loadTexture(const std::string& fileName);

// The HUD and dialog-box upload: like loadTexture, but a missing file is reported through the
// decoder's "Failed to open DIB file" box, because these images are the game's own and always
// expected. Its edges clamp instead of repeating. Returns 0 on failure; the element then
// draws with texture 0.
GLuint loadImageTexture(const std::string& fileName);

// A mipmapped texture into *target for the terrain, sky and water. Returns false, leaving
// *target untouched, when target is null, the name is empty, the file does not exist or it
// does not decode.
bool loadMipmappedTexture(GLuint* target, const std::string& fileName);

// Drops the record of loaded textures without touching GL: call it whenever a new context
// becomes current, whose names mean nothing of the old one's.
void ForgetLoadedTextures();

// The multitexture entry points; null until loadMultitextureEntryPoints finds them. Prefixed so
// that they do not clash with the prototypes of the GL headers.
using ActiveTextureProc = void(APIENTRY*)(GLenum texture);
using MultiTexCoord2fProc = void(APIENTRY*)(GLenum texture, GLfloat s, GLfloat t);
extern ActiveTextureProc g_glActiveTextureARB;
extern MultiTexCoord2fProc g_glMultiTexCoord2fARB;

// Looks the two entry points up by name (a context must be current). When the driver lacks the
// ARB multitexture extension both pointers stay null, a box says once per process that the
// terrain is drawn with one texture unit, and the result is false.
bool loadMultitextureEntryPoints();

// Whether both entry points are there; the terrain draws with one texture unit otherwise.
bool multitextureAvailable();

// Whether the texture-environment combine mode is offered (checked by
// loadMultitextureEntryPoints); without it the detail map modulates without the scale of 2.
bool textureCombineAvailable();

// Draws an image and its mask over the rectangle, in the current projection: first the mask
// multiplies the frame buffer (white lets the scene through, black covers it), then the image is
// added (black adds nothing). The image's top row lands at `top`. Keeps all GL state.
void drawMaskedImage(GLuint mask, GLuint image, float left, float top, float right, float bottom);
