// QRVAI: the base of every AI object. An AI never moves its object: once a frame
// it reads data records and writes the record's AIDecision. Movement is planned on
// the data layer's 128 by 128 grid, one cell at a time. Everything here is cheap
// (constant time); the behaviours' own steps live in the subclasses.
#pragma once

#include "ai/aidecision.h"

#include <cstddef>
#include <cstdint>

class QRVDataLayer;
struct ObjectData;

class QRVAI {
public:
    // Reseeds the game's generator with the time in seconds and fills the random table.
    QRVAI();
    virtual ~QRVAI() = default;

    virtual void update(QRVDataLayer* dataLayer, ObjectData* record);
    virtual int32_t nextRandom();
    virtual int32_t type() const { return 0; }

    int32_t randomIndex() const { return m_randomIndex; }
    void setRandomIndex(int32_t index) { m_randomIndex = index; }
    int32_t randomTableEntry(int i) const { return m_randomTable[i & 1023]; }

protected:
    int32_t m_randomTable[1024];
    int32_t m_randomIndex;
};

// Ground-plane distances: each difference truncated toward zero before its absolute value.
int32_t boxDistance(float x1, float z1, float x2, float z2);
int32_t sumDistance(float x1, float z1, float x2, float z2);

// The three grid-stepping rules. (aiX, aiZ) is the object's cell, (gx, gz) the goal;
// they move decision.m_waypointCell and, when it changed, m_waypoint onto that cell's
// corner. Each returns whether a coordinate changed.
bool stepToward(const QRVDataLayer& layer, AIDecision& decision, int32_t aiX, int32_t aiZ,
                int32_t gx, int32_t gz);
bool stepAway(const QRVDataLayer& layer, AIDecision& decision, int32_t aiX, int32_t aiZ, int32_t gx,
              int32_t gz);
bool stepOnArrival(const QRVDataLayer& layer, AIDecision& decision, int32_t aiX, int32_t aiZ,
                   int32_t gx, int32_t gz);

// How far from the hero an enemy's hunt ends: within reach of a blow.
constexpr float HUNT_STANDOFF = 5.0f;

// The last stretch of a hunt. Once the hunter at (x, z) stands in the hero's cell or next to
// it, its walk point is no longer a cell corner (the same one for every hunter, up to a
// cell's diagonal off the hero, walked past and back every frame) but the point `standoff`
// from the hero on the hunter's own side; the waypoint cell becomes that point's cell.
// Returns whether it took over.
bool closeIn(const QRVDataLayer& layer, AIDecision& decision, float x, float z, int32_t aiX,
             int32_t aiZ, float standoff);

// Whether a hunter with attack odds `odds` strikes this frame. The odds are one in `odds` a
// frame at 60 frames a second and scale with the frame's length (the layer's m_aiFrameMs),
// so that a creature strikes as often each second at 15 frames a second as at 60.
bool strikesThisFrame(const QRVDataLayer& layer, int32_t odds);

// How a hunter closes in on the hero: its grid-stepping rule (one of the above), the box
// distance within which it may attack and the odds of it (one in attackOdds), and how far
// from the hero it stops.
struct HuntRule {
    bool (*step)(const QRVDataLayer&, AIDecision&, int32_t, int32_t, int32_t, int32_t);
    int32_t attackRange;
    int32_t attackOdds;
    float standoff = HUNT_STANDOFF;
};

// One hunting step for a hunter at (x, z) in cell (aiX, aiZ): face the hero and walk; with
// chance 1/1000 jump instead (no grid step); otherwise step toward the hero's cell by the
// rule, close in near the hero (closeIn) and, within its range, attack by its odds (drawn
// only within the range).
void huntHero(const QRVDataLayer& layer, AIDecision& decision, float x, float z, int32_t aiX,
              int32_t aiZ, const HuntRule& rule);

// Moves m_waypoint's x and z onto the lower corner of m_waypointCell (y kept).
void waypointFromCell(const QRVDataLayer& layer, AIDecision& decision);

// Walk to and face path point p.
void aimAtPathPoint(const QRVDataLayer& layer, AIDecision& decision, const Vector& p);

// The count a path walker stores for `count` of the points it holds: all of them for a
// negative count, never more than are held.
int32_t storedPathCount(size_t held, int32_t count);
// The number of points a walker may use: its stored count, or every held point when that
// count is out of range (a loader that filled only the points still walks them).
int32_t pathPointsInUse(size_t held, int32_t count);
