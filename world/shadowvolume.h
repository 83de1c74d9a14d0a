// ShadowVolume: one stencil shadow volume of one model for one light. The model feeds
// it the posed triangles (beginFrame, clear, addTriangle for each, finish); finish
// finds the silhouette, and draw extrudes it away from the light together with the
// two caps, so the stencil pass of WorldLight can count it. A volume that cannot hold the
// eye is counted from the eye (z-pass: faces in front of the scene) and leaves out its far
// cap when every corner of it lies under the land there (ShadowGroundAt), not merely on the
// floor, which is under the land only near the caster; one that may hold the eye is counted
// behind the scene (depth fail), caps and all.
//
// Costs: addTriangle is one cross and one dot product plus three list inserts;
// finish walks three small buckets per back-facing edge (near linear in the triangle
// count); draw sends 6 vertices per silhouette edge plus every triangle once (caps) as
// one array, built once per feed, light change or move (the stencil pass draws it twice).
// A volume whose bounds fall wholly off the screen is not drawn; the others add their
// screen rectangle to the frame's shadow area (CurrentShadowArea).
// With a floor handed in (setFloor; the objects hand ShadowFloorAt, the lowest ground
// around the caster) the sides end on it, not at the light's full range, and each ray of
// the volume ends sooner where it goes into the drawn land (ShadowGroundAt, a few height
// reads per vertex and build): under the land nothing is shaded, yet a software
// rasteriser fills every pixel of a side.
// All storage is sized once, from the first beginFrame's triangle count, so that no
// model can write past it: the facing arrays hold every triangle, the edge array three
// edges per triangle, and the adjacency buckets are hashed by vertex index (any index,
// however large, lands in a bucket). A model that later reports more triangles grows
// the storage once more; surplus triangles beyond the announced count are dropped.
//
// Not guaranteed: a closed volume for meshes that are not closed (open seams leave
// gaps in the silhouette), or for triangles fed before a light was ever set. The
// silhouette is found for the light stored at feed time; a light that moves between
// feeds uses the stale silhouette until the next feed. A ray ends at the first land it
// goes into: land further on, past a hill, gets no shadow from it.
#pragma once

#include "models/shadowfeed.h"

#include <cstdint>
#include <vector>

// The part of the screen that the stencil volumes drawn since the last reset can have
// marked, in window pixels (x0, y0 inclusive, x1, y1 exclusive): the darkening of the
// stencil pass need touch nothing outside it.
struct ShadowArea {
    bool m_any = false;   // some volume reached the screen
    bool m_whole = false; // some volume's bounds could not be projected (it reaches
                          // behind the eye): the whole screen
    int m_x0 = 0, m_y0 = 0, m_x1 = 0, m_y1 = 0;
    void addWhole() { m_any = m_whole = true; }
    void addRect(int x0, int y0, int x1, int y1);
};
void ResetShadowArea();
const ShadowArea& CurrentShadowArea();

// Where a box of the model's frame lands on the screen under column-major model-view and
// projection matrices and a viewport (x, y, width, height).
enum class BoxOnScreen { Hidden, Rect, Unbounded };
BoxOnScreen projectBox(const float boxMin[3], const float boxMax[3], const float* modelView,
                       const float* projection, const int* viewport, int rect[4]);

// Whether a box of the model's frame may hold a point of the near plane's window, under
// column-major model-view and projection matrices: then the eye may look out from inside a
// volume in that box, and its faces must be counted behind the scene, not in front of it.
// Conservative: true for any projection that is not a plain perspective, and for a box
// only near the window (a small margin).
bool boxMayReachNearPlane(const float boxMin[3], const float boxMax[3], const float* modelView,
                          const float* projection);

// The stencil pass's count while the volumes draw: Up, then Down. Each volume sets the
// faces and stencil operation of its own way of counting for it (from the eye, or behind
// the scene when the eye may be inside it). Idle (the default) leaves the GL state to the
// caller and draws the whole volume.
enum class ShadowCount { Idle, Up, Down };
void SetShadowCount(ShadowCount count);

// One silhouette edge, its two endpoints in the model's frame.
struct ShadowEdge {
    float m_points[2][3];
    int32_t m_indices[2]; // the model's vertex indices of the two points
};

class ShadowVolume : public ShadowBuilder {
public:
    ShadowVolume();
    ~ShadowVolume() override;

    // Sizes the storage to the model's triangle count (once; again only when it grows).
    void beginFrame(int32_t triangleCount) override;
    // Empties every count and bucket.
    void clear() override;
    // Sorts a posed triangle into the light-facing or back-facing set; ignored while
    // the stored light is out of range.
    void addTriangle(const ShadowTriangle& triangle) override;
    // Finds the silhouette: the edges that a back-facing triangle shares with a
    // light-facing one.
    void finish() override;
    // x, y, z (the light negated, in the model's frame) and range are stored only when
    // enabled is true; the flag always.
    void setLight(float x, float y, float z, float range, bool enabled) override;
    // Switches the volume on or off without touching the stored light.
    void setEnabled(bool enabled) override;
    // The floor the volume ends on, asked at (x, z) whenever the volume is rebuilt.
    void setFloor(ShadowFloorFn floorAt) override;
    // When enabled: places the volume at (x, y, z) turned by heading degrees about +y,
    // building the extruded silhouette, the near cap and the far cap unless they stand
    // built for that place; no GL call.
    void place(float x, float y, float z, float heading) override;
    // When enabled: draws the volume placed there (placing it first if need be).
    void draw(float x, float y, float z, float heading) override;

    // The extrusion factor for the stored light: (range - dist) / dist, at least 1.
    float extrusionFactor() const;

    bool enabled() const { return m_enabled; }
    const float* light() const { return m_light; }
    int32_t backFacingCount() const { return m_backCount; }
    int32_t lightFacingCount() const { return m_lightCount; }
    int32_t edgeCount() const { return m_edgeCount; }
    const ShadowEdge& edge(int32_t i) const { return m_edges[size_t(i)]; }
    // The volume as last drawn: sides, near cap, far cap, three floats per vertex.
    const std::vector<float>& geometry() const { return m_geometry; }
    // How many of those vertices are drawn when counting from the eye: all, or all but the
    // far cap when the land closes the volume.
    size_t eyeCountVertices() const { return m_eyeCountVertices; }
    // Triangles the storage holds per facing set (0 before the first beginFrame).
    int32_t capacity() const { return int32_t(m_backFacing.size()); }

private:
    size_t bucketOf(int32_t vertexIndex) const;
    // Fills m_geometry with the sides, the near cap and the far cap as triangles, none
    // deeper than floor (the model's frame).
    void buildGeometry(float floor);
    bool lightInRange() const;
    // The far end of the ray from v (the model's vertex vertexIndex) away from the light,
    // into out: as extrude makes it, and with a floor set, ended where the ray goes into
    // the land (ShadowGroundAt) if that comes first. Computed once per vertex and build.
    // True when the end lies under the land where it is (not merely on the floor).
    bool farEnd(const float* v, int32_t vertexIndex, float k, float floor, float* out);
    size_t farEndSlot(int32_t vertexIndex) const;
    // ShadowGroundAt under a point of the model's frame, in the model's frame.
    float groundUnder(const float* p) const;

    float m_light[4] = {0.0f, 0.0f, 0.0f, 0.0f}; // x, y, z (negated light), range
    bool m_enabled = false;
    std::vector<ShadowTriangle> m_backFacing;
    int32_t m_backCount = 0;
    std::vector<ShadowTriangle> m_lightFacing;
    int32_t m_lightCount = 0;
    // Adjacency, one table per triangle corner: the head of each bucket and, per
    // light-facing triangle, the next one in the same bucket (-1 ends a list).
    std::vector<int32_t> m_bucketHeads[3];
    std::vector<int32_t> m_nextInBucket[3];
    std::vector<ShadowEdge> m_edges;
    int32_t m_edgeCount = 0;
    // The volume as drawn, three floats per vertex; rebuilt after a feed, a light change
    // or a move.
    std::vector<float> m_geometry;
    bool m_geometryStale = true;
    float m_boundsMin[3] = {0.0f, 0.0f, 0.0f}; // of m_geometry
    float m_boundsMax[3] = {0.0f, 0.0f, 0.0f};
    float m_placedAt[3] = {0.0f, 0.0f, 0.0f}; // where m_geometry was last built for
    // The vertices drawn when counting from the eye: all but a far cap whose every corner
    // lies under the land (behind whatever the eye sees there).
    size_t m_eyeCountVertices = 0;
    float m_placedHeading = 0.0f;
    float m_turn[2] = {1.0f, 0.0f}; // cosine and sine of m_placedHeading
    ShadowFloorFn m_floorAt = nullptr;
    // Far ends of this build by vertex index: open addressing, a slot is in use when its
    // stamp is the build's.
    struct FarEnd {
        int32_t m_index = 0;
        uint32_t m_stamp = 0;
        float m_point[3] = {0.0f, 0.0f, 0.0f};
        bool m_inLand = false;
    };
    std::vector<FarEnd> m_farEnds;
    uint32_t m_farStamp = 0;
};

// The factory the shell installs as the models' default shadow builder.
std::unique_ptr<ShadowBuilder> CreateShadowVolume();
