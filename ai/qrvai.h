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

// How a hunter closes in on the hero: its grid-stepping rule (one of the above), and the
// box distance within which it may attack and the odds of it (one in attackOdds).
struct HuntRule {
    bool (*step)(const QRVDataLayer&, AIDecision&, int32_t, int32_t, int32_t, int32_t);
    int32_t attackRange;
    int32_t attackOdds;
};

// One hunting step for a hunter at (x, z) in cell (aiX, aiZ): face the hero and walk; with
// chance 1/1000 jump instead (no grid step); otherwise step toward the hero's cell by the
// rule and, within its range, attack by its odds (drawn only within the range).
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
