// ShadowBuilder: what a posed model hands its two shadow volumes. A model feeds each
// builder its posed triangles on the frames its shadow counter allows (beginFrame,
// clear, addTriangle for every triangle, finish), forwards lights to it, places it with
// the object (the frame's step) and asks it to draw. The stencil shadow volume of the
// lighting code implements this interface; the model only talks to it through here, so a
// test can count what arrives.
//
// CreateShadowBuilder() makes the builders every model owns: the default that the shell
// installs at start-up (the stencil shadow volume of the lighting code), a
// NullShadowBuilder before that; SetShadowBuilderFactory replaces the default (tests
// install counting builders, or NullShadowBuilder for a model that keeps nothing).
#pragma once

#include <cstdint>
#include <memory>

// One posed triangle as the model hands it over: three model-space corners and the
// model's vertex indices of those corners (48 bytes).
struct ShadowTriangle {
    float m_corners[3][3];
    int32_t m_vertexIndices[3];
};
static_assert(sizeof(ShadowTriangle) == 48, "the shadow feed's record is 48 bytes");

// The world height at which a volume placed at (x, z) may end: below it there is only
// land, which no shadow reaches.
using ShadowFloorFn = float (*)(float x, float z);

class ShadowBuilder {
public:
    virtual ~ShadowBuilder() = default;
    // The model's triangle count, told before every feed; storage is sized once.
    virtual void beginFrame(int32_t triangleCount) = 0;
    virtual void clear() = 0;
    virtual void addTriangle(const ShadowTriangle& triangle) = 0;
    // All of this frame's triangles are in; find the silhouette.
    virtual void finish() = 0;
    // x, y, z and range are stored only when enabled; the flag always.
    virtual void setLight(float x, float y, float z, float range, bool enabled) = 0;
    // Switches the builder on or off, keeping its light. Builders that draw nothing
    // may ignore it.
    virtual void setEnabled(bool) {}
    // Where the volumes drawn from now on end (null: they run the light's whole range).
    // Builders that draw nothing may ignore it.
    virtual void setFloor(ShadowFloorFn) {}
    // Places the volume at the object's position and heading and builds what draw will
    // send; makes no GL call. Builders that draw nothing may ignore it.
    virtual void place(float, float, float, float) {}
    // Draws the volume placed there (placing it first when the step did not).
    virtual void draw(float x, float y, float z, float heading) = 0;
};

// A builder that keeps nothing and draws nothing.
class NullShadowBuilder : public ShadowBuilder {
public:
    void beginFrame(int32_t) override {}
    void clear() override {}
    void addTriangle(const ShadowTriangle&) override {}
    void finish() override {}
    void setLight(float, float, float, float, bool) override {}
    void draw(float, float, float, float) override {}
};

using ShadowBuilderFactory = std::unique_ptr<ShadowBuilder> (*)();

// The maker of every later model's shadow builders unless one is installed below; the
// shell sets it at start-up.
void SetDefaultShadowBuilderFactory(ShadowBuilderFactory factory);
// Installs the maker of every later model's shadow builders; null restores the default.
void SetShadowBuilderFactory(ShadowBuilderFactory factory);
std::unique_ptr<ShadowBuilder> CreateShadowBuilder();
