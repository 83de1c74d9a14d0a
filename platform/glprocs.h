// OpenGL extension entry points by name, through the window system. Cheap, but only
// meaningful while a context is current; a null result means the driver does not offer the
// function. Some drivers return a non-null stub for functions they do not support, so callers
// also check the extension string.
#pragma once

// The address of the named OpenGL function, or null.
void* GetGLProcAddress(const char* name);
