// The MilkShape 3D reader. parseMs3d is a pure function of the file's bytes: it walks
// the buffer once, checks every count and offset against it, and either fills a
// ModelData or says why it refuses the file (the message that loadModel writes to
// standard error). It touches no GL and no file, so it can be tested and fuzzed.
// Ms3dModel::loadModel reads the file with one bulk read, parses it and hands the data
// to SkinnedModel::adopt, which uploads textures and sets up the skeleton.
//
// Refused: a wrong identifier or version below 3, a record that runs past the end,
// a triangle corner or group entry naming a missing vertex or triangle, a parent name
// that matches no earlier joint, a key time that is not a finite number, more than 30
// joints or 30 distinct key times (time 0 always counts as one).
// Treated as "none" (-1): a bone id or a group's material index outside its array.
// Not checked: that key times rise, or that the geometry makes sense.
#pragma once

#include "models/skinnedmodel.h"

#include <cstddef>
#include <cstdint>
#include <string>

// The folder part of a model file name with '/' appended, or "" when the name has no
// separator after its first character.
std::string ms3dDirectoryPrefix(const char* fileName);
// A material's texture file: ".\name" becomes prefix + "name"; anything else as stored.
std::string ms3dTextureFile(const std::string& prefix, const char* storedName);

// Decodes a whole .ms3d file. On failure returns false with `error` set and `out`
// unspecified.
bool parseMs3d(const uint8_t* data, size_t size, const std::string& directoryPrefix, ModelData& out,
               std::string& error);

class Ms3dModel : public SkinnedModel {
public:
    Ms3dModel() = default;
    ~Ms3dModel() override = default;
    // Loads the file; false after a message on standard error (the model stays empty).
    bool loadModel(const char* fileName) override;
    // The same, optionally without the texture upload (no GL context needed then).
    bool loadModelFile(const char* fileName, bool uploadTextures);
};
