#include "models/humanoid.h"

#include "models/mesh.h"

#include <stdexcept>

namespace content::models {

Ms3dMaterial texturedMaterial(const std::string& name, const std::string& textureName) {
    Ms3dMaterial m;
    m.name = name;
    m.texture = textureName;
    return m;
}

namespace {

const char* const kPartNames[PART_COUNT] = {"hips",    "torso",   "head",   "arm_r",  "hand_r",
                                            "hand_l",  "thigh_r", "foot_r", "foot_l", "arm_l",
                                            "thigh_l", "bat",     "staff"};
const Part kNaturalParent[PART_COUNT] = {HIPS,    HIPS,    TORSO, TORSO, UARM_R, UARM_L, HIPS,
                                         THIGH_R, THIGH_L, TORSO, HIPS,  FARM_R, FARM_R};

// The combat numbering: joint 2 the head, 4 and 5 the hands, 7 and 8 the feet (enemies, people).
const std::vector<Part> kPeopleOrder = {HIPS,    TORSO,  HEAD,   UARM_R, FARM_R, FARM_L,
                                        THIGH_R, SHIN_R, SHIN_L, UARM_L, THIGH_L};
// The hero: the bat is joint 8.
const std::vector<Part> kHeroOrder = {HIPS,    TORSO,  HEAD, UARM_R, FARM_R,  FARM_L,
                                      THIGH_R, SHIN_R, BAT,  UARM_L, THIGH_L, SHIN_L};

// Proportions of one body; every pivot follows from them.
struct Frame {
    float hipY = 5.6f;      // root pivot (pelvis centre)
    float hipW = 0.65f;     // z offset of the hip joints
    float thigh = 2.6f;     // hip joint to knee
    float shin = 2.3f;      // knee to ankle
    float waistY = 6.0f;    // torso pivot
    float shoulderY = 9.0f; // shoulder joints
    float shoulderW = 1.55f;
    float upperArm = 2.0f;
    float foreArm = 1.7f; // elbow to wrist
    float neckY = 9.5f;
    float hipJointY() const { return hipY - 0.3f; }
    float kneeY() const { return hipJointY() - thigh; }
    float ankleY() const { return kneeY() - shin; }
    float elbowY() const { return shoulderY - upperArm; }
    float wristY() const { return elbowY() - foreArm; }
};

Vec3 pivotOf(const Frame& f, Part p) {
    switch (p) {
    case HIPS:
        return {0, f.hipY, 0};
    case TORSO:
        return {0, f.waistY, 0};
    case HEAD:
        return {0, f.neckY, 0};
    case UARM_R:
        return {0, f.shoulderY, f.shoulderW};
    case UARM_L:
        return {0, f.shoulderY, -f.shoulderW};
    case FARM_R:
        return {0, f.elbowY(), f.shoulderW};
    case FARM_L:
        return {0, f.elbowY(), -f.shoulderW};
    case THIGH_R:
        return {0, f.hipJointY(), f.hipW};
    case THIGH_L:
        return {0, f.hipJointY(), -f.hipW};
    case SHIN_R:
        return {0, f.kneeY(), f.hipW};
    case SHIN_L:
        return {0, f.kneeY(), -f.hipW};
    case BAT:
    case STAFF:
        return {0, f.wristY() - 0.35f, f.shoulderW};
    default:
        return {};
    }
}

class Person {
public:
    Person(const Frame& frame, const std::vector<Part>& order) : m_frame(frame) {
        m_index.fill(-1);
        for (Part p : order) {
            const Part parent = kNaturalParent[p];
            m_index[p] =
                m_rig.add(kPartNames[p], p == HIPS ? "" : kPartNames[parent], pivotOf(frame, p));
        }
    }
    int bone(Part p) const {
        if (m_index[p] < 0)
            throw std::runtime_error(std::string("no joint for part ") + kPartNames[p]);
        return m_index[p];
    }
    const Frame& frame() const { return m_frame; }
    Vec3 pivot(Part p) const { return pivotOf(m_frame, p); }
    Rig& rig() { return m_rig; }

    Pose toPose(const BodyPose& bp) const {
        Pose p = m_rig.rest();
        for (int part = 0; part < PART_COUNT; ++part)
            if (m_index[part] >= 0)
                p.rotation[m_index[part]] = bp.r[part];
        p.rootShift = bp.shift;
        p.rootRotation = bp.rootRotation;
        return p;
    }

private:
    Frame m_frame;
    Rig m_rig;
    std::array<int, PART_COUNT> m_index{};
};

// What a body is dressed in: atlas rectangles and thicknesses.
struct Look {
    UvRect face, torso, sleeve, hand, pelvis, leg, boot;
    float waistDepth = 0.7f, chestDepth = 0.8f, waistWidth = 1.0f, chestWidth = 1.35f;
    float armR = 0.42f, foreR = 0.36f, legR = 0.55f, shinR = 0.45f;
    Vec3 headRadii{1.0f, 1.15f, 0.95f};
    float headLift = 1.15f; // head centre above the neck pivot
    Vec3 bootSize{0.75f, 0.35f, 0.42f};
    bool legs = true;
};

Xf at(const Vec3& origin) {
    Xf x;
    x.origin = origin;
    return x;
}

Xf atRot(const Vec3& origin, const Mat3& r) {
    Xf x;
    x.origin = origin;
    x.rotation = r;
    return x;
}

void addBody(MeshBuilder& mb, const Person& person, const Look& look) {
    const Frame& f = person.frame();
    // Pelvis and torso.
    mb.box(at({0, f.hipY, 0}), {look.waistDepth, 0.55f, look.waistWidth}, look.pelvis,
           person.bone(HIPS));
    mb.segment({0, f.waistY - 0.2f, 0}, {0, f.shoulderY + 0.45f, 0}, look.waistDepth,
               look.chestDepth, 8, look.torso, person.bone(TORSO),
               look.chestWidth / look.chestDepth);
    // Neck and head.
    mb.segment({0, f.neckY - 0.2f, 0}, {0, f.neckY + 0.6f, 0}, 0.38f, 0.36f, 6, look.hand,
               person.bone(HEAD));
    mb.ellipsoid(at({0.05f, f.neckY + look.headLift, 0}), look.headRadii, 12, 8, look.face,
                 person.bone(HEAD));
    // Arms: upper arm, forearm, hand.
    for (int side = 0; side < 2; ++side) {
        const Part ua = side ? UARM_L : UARM_R, fa = side ? FARM_L : FARM_R;
        const float z = side ? -f.shoulderW : f.shoulderW;
        mb.segment({0, f.shoulderY + 0.3f, z}, {0, f.elbowY() - 0.1f, z}, look.armR,
                   look.armR * 0.9f, 6, look.sleeve, person.bone(ua));
        mb.segment({0, f.elbowY() + 0.1f, z}, {0, f.wristY(), z}, look.foreR, look.foreR * 0.8f, 6,
                   look.sleeve, person.bone(fa));
        mb.ellipsoid(at({0.05f, f.wristY() - 0.35f, z}), {0.34f, 0.45f, 0.27f}, 6, 4, look.hand,
                     person.bone(fa));
    }
    if (!look.legs)
        return;
    for (int side = 0; side < 2; ++side) {
        const Part th = side ? THIGH_L : THIGH_R, sh = side ? SHIN_L : SHIN_R;
        const float z = side ? -f.hipW : f.hipW;
        mb.segment({0, f.hipJointY() + 0.3f, z}, {0, f.kneeY() - 0.1f, z}, look.legR,
                   look.legR * 0.85f, 6, look.leg, person.bone(th));
        mb.segment({0, f.kneeY() + 0.1f, z}, {0, f.ankleY() + 0.2f, z}, look.shinR,
                   look.shinR * 0.85f, 6, look.leg, person.bone(sh));
        mb.box(at({look.bootSize.x * 0.45f, f.ankleY() - look.bootSize.y + 0.25f, z}),
               look.bootSize, look.boot, person.bone(sh));
    }
}

// ---- shared pose vocabulary -------------------------------------------------------------

BodyPose relaxed() {
    BodyPose p;
    p.set(UARM_R, -0.1f, 0, 0.05f).set(UARM_L, 0.1f, 0, 0.05f);
    p.set(FARM_R, 0, 0, 0.25f).set(FARM_L, 0, 0, 0.25f);
    return p;
}

// One walk step; sign +1 puts the right leg forward. `hunch` leans the body for brutes.
BodyPose walkStep(float sign, float stride, float hunch) {
    BodyPose p = relaxed();
    p.set(THIGH_R, 0, 0, stride * sign).set(THIGH_L, 0, 0, -stride * sign);
    p.set(SHIN_R, 0, 0, sign > 0 ? -0.15f : -0.7f).set(SHIN_L, 0, 0, sign > 0 ? -0.7f : -0.15f);
    p.set(UARM_R, -0.08f, 0, -stride * sign + hunch * 0.8f);
    p.set(UARM_L, 0.08f, 0, stride * sign + hunch * 0.8f);
    p.set(FARM_R, 0, 0, 0.45f + hunch).set(FARM_L, 0, 0, 0.45f + hunch);
    p.set(TORSO, 0, 0.12f * sign, -hunch).set(HEAD, 0, -0.1f * sign, hunch * 0.8f);
    p.shift = Vec3(0, -0.2f, 0);
    return p;
}

// ---- the hero ----------------------------------------------------------------------------

// Bat resting on the shoulder, held in the right hand.
void batOnShoulder(BodyPose& p) {
    p.set(UARM_R, -0.15f, 0, 0.3f).set(FARM_R, 0, 0, 2.0f).set(BAT, 0, 0, 1.3f);
}

std::vector<BodyPose> heroGamePoses() {
    std::vector<BodyPose> poses(27);
    BodyPose idle = relaxed();
    batOnShoulder(idle);
    idle.set(UARM_L, 0.12f, 0, 0.1f).set(FARM_L, 0, 0, 0.35f).set(HEAD, 0, 0, 0.05f);
    poses[0] = idle;
    for (int i = 0; i < 2; ++i) {
        BodyPose w = walkStep(i ? -1.0f : 1.0f, 0.55f, 0.08f);
        batOnShoulder(w);
        w.set(UARM_R, -0.12f, 0, i ? 0.45f : 0.15f); // the bat arm rocks with the step
        poses[1 + i] = w;
        // Wading: high knees, arms out for balance, sunk a little.
        BodyPose d = walkStep(i ? -1.0f : 1.0f, 0.8f, 0.15f);
        d.set(SHIN_R, 0, 0, i ? -0.5f : -1.1f).set(SHIN_L, 0, 0, i ? -1.1f : -0.5f);
        d.set(UARM_R, -0.45f, 0, 0.4f).set(FARM_R, 0, 0, 1.2f).set(BAT, 0, 0, 0.6f);
        d.set(UARM_L, 0.45f, 0, 0.4f).set(FARM_L, 0, 0, 0.6f);
        d.shift = Vec3(0, -0.6f, 0);
        poses[3 + i] = d;
    }
    BodyPose rise = relaxed();
    rise.set(THIGH_R, 0, 0, 1.0f).set(SHIN_R, 0, 0, -1.3f).set(THIGH_L, 0, 0, 0.3f);
    rise.set(SHIN_L, 0, 0, -0.6f).set(UARM_R, -0.3f, 0, 1.1f).set(FARM_R, 0, 0, 1.0f);
    rise.set(BAT, 0, 0, 0.8f).set(UARM_L, 0.3f, 0, 2.6f).set(TORSO, 0, 0, 0.1f);
    rise.set(HEAD, 0, 0, 0.3f);
    poses[5] = rise;
    BodyPose fall = relaxed();
    fall.set(UARM_R, -0.55f, 0, 0.85f).set(FARM_R, 0, 0, 0.7f).set(BAT, 0, 0, 0.5f);
    fall.set(UARM_L, 0.55f, 0, 0.85f).set(FARM_L, 0, 0, 0.6f);
    fall.set(THIGH_R, 0, 0, 0.45f).set(SHIN_R, 0, 0, -0.3f).set(THIGH_L, 0, 0, -0.2f);
    fall.set(SHIN_L, 0, 0, -0.9f).set(TORSO, 0, 0, 0.15f).set(HEAD, 0, 0, -0.2f);
    poses[6] = fall;
    // The roll: 7 a landing crouch, 8 and 9 the tucked body a third and two thirds round.
    BodyPose crouch = relaxed();
    crouch.set(THIGH_R, 0, 0, 1.4f).set(THIGH_L, 0, 0, 1.4f).set(SHIN_R, 0, 0, -2.0f);
    crouch.set(SHIN_L, 0, 0, -2.0f).set(TORSO, 0, 0, -0.6f).set(HEAD, 0, 0, 0.4f);
    crouch.set(UARM_R, -0.2f, 0, 0.9f).set(FARM_R, 0, 0, 0.8f).set(BAT, 0, 0, 0.9f);
    crouch.set(UARM_L, 0.2f, 0, 0.9f).set(FARM_L, 0, 0, 0.6f);
    crouch.shift = Vec3(0, -2.3f, 0);
    poses[7] = crouch;
    BodyPose tuck = relaxed();
    tuck.set(THIGH_R, 0, 0, 2.1f).set(THIGH_L, 0, 0, 2.1f).set(SHIN_R, 0, 0, -2.4f);
    tuck.set(SHIN_L, 0, 0, -2.4f).set(TORSO, 0, 0, -0.6f).set(HEAD, 0, 0, -0.4f);
    tuck.set(UARM_R, -0.2f, 0, 1.3f).set(FARM_R, 0, 0, 1.6f).set(BAT, 0, 0, 1.5f);
    tuck.set(UARM_L, 0.2f, 0, 1.3f).set(FARM_L, 0, 0, 1.6f);
    tuck.shift = Vec3(0, -2.6f, 0);
    tuck.rootRotation = Vec3(0, 0, -2.1f);
    poses[8] = tuck;
    tuck.rootRotation = Vec3(0, 0, -4.2f);
    poses[9] = tuck;
    BodyPose aim = relaxed();
    batOnShoulder(aim);
    aim.set(UARM_L, 0.05f, 0.2f, 1.55f).set(FARM_L, 0, 0, 0.0f).set(TORSO, 0, -0.35f, 0);
    aim.set(HEAD, 0, 0.3f, 0).set(THIGH_R, 0, 0, -0.25f).set(THIGH_L, 0, 0, 0.25f);
    aim.set(SHIN_L, 0, 0, -0.2f);
    poses[10] = aim;
    // The side hop: 11 in the air leaning to the right, 12 landing with the legs apart.
    BodyPose hop = relaxed();
    batOnShoulder(hop);
    hop.set(THIGH_R, 0, 0, 0.8f).set(THIGH_L, 0, 0, 0.8f).set(SHIN_R, 0, 0, -1.3f);
    hop.set(SHIN_L, 0, 0, -1.3f).set(UARM_L, 1.0f, 0, 0.2f).set(FARM_L, 0, 0, 0.4f);
    hop.rootRotation = Vec3(0.35f, 0, 0);
    hop.shift = Vec3(0, 0.4f, 0);
    poses[11] = hop;
    BodyPose land = relaxed();
    batOnShoulder(land);
    land.set(THIGH_R, -0.3f, 0, 0.5f).set(THIGH_L, 0.3f, 0, 0.5f).set(SHIN_R, 0, 0, -0.9f);
    land.set(SHIN_L, 0, 0, -0.9f).set(UARM_L, 0.7f, 0, 0.2f).set(FARM_L, 0, 0, 0.4f);
    land.set(TORSO, 0, 0, -0.2f);
    land.rootRotation = Vec3(-0.15f, 0, 0);
    land.shift = Vec3(0, -0.8f, 0);
    poses[12] = land;
    // Horizontal sweep from the right (13) across the front (15) to the left (17).
    const float torsoYaw[5] = {-0.75f, -0.4f, 0.0f, 0.4f, 0.75f};
    const float armYaw[5] = {-0.95f, -0.45f, 0.0f, 0.5f, 1.0f};
    for (int i = 0; i < 5; ++i) {
        BodyPose s = relaxed();
        s.set(TORSO, 0, torsoYaw[i], -0.1f).set(HEAD, 0, -torsoYaw[i] * 0.5f, 0);
        s.set(UARM_R, 0, armYaw[i], 1.45f).set(FARM_R, 0, 0, 0.1f).set(BAT, 0, 0, 0.05f);
        s.set(UARM_L, 0.1f, armYaw[i] * 0.5f, 0.8f).set(FARM_L, 0, 0, 1.1f);
        s.set(THIGH_R, 0, 0, -0.3f).set(THIGH_L, 0, 0, 0.35f).set(SHIN_L, 0, 0, -0.35f);
        s.shift = Vec3(0, -0.3f, 0);
        poses[13 + i] = s;
    }
    // Vertical chop: overhead (18), raised (19), level (15), low (20).
    auto chop = [&](float arm, float bat, float lean, float sink) {
        BodyPose s = relaxed();
        s.set(UARM_R, -0.1f, 0.15f, arm).set(FARM_R, 0, 0, 0.25f).set(BAT, 0, 0, bat);
        s.set(UARM_L, 0.1f, 0.3f, arm * 0.7f).set(FARM_L, 0, 0, 0.8f);
        s.set(TORSO, 0, 0, lean).set(HEAD, 0, 0, -lean * 0.5f);
        s.set(THIGH_R, 0, 0, -0.3f).set(THIGH_L, 0, 0, 0.4f).set(SHIN_L, 0, 0, -0.4f);
        s.shift = Vec3(0, sink, 0);
        return s;
    };
    poses[18] = chop(2.95f, 0.5f, 0.15f, 0.0f);
    poses[19] = chop(2.2f, 0.25f, 0.05f, -0.15f);
    poses[20] = chop(1.0f, 0.35f, -0.5f, -0.6f);
    // Hit reactions.
    BodyPose hit = relaxed();
    batOnShoulder(hit);
    hit.set(TORSO, 0, 0, 0.35f).set(HEAD, 0, 0, 0.2f).set(UARM_L, 0.6f, 0, -0.3f);
    hit.shift = Vec3(-0.4f, 0, 0);
    poses[21] = hit;
    BodyPose head = relaxed();
    head.set(HEAD, 0, 0.2f, 0.65f).set(TORSO, 0, 0, 0.3f).set(UARM_R, -0.3f, 0, 1.0f);
    head.set(FARM_R, 0, 0, 1.5f).set(BAT, 0, 0, 0.3f).set(UARM_L, 0.3f, 0, 1.1f);
    head.set(FARM_L, 0, 0, 1.8f);
    poses[22] = head;
    BodyPose leg = relaxed();
    batOnShoulder(leg);
    leg.set(THIGH_R, 0, 0, 0.35f).set(SHIN_R, 0, 0, -1.3f).set(THIGH_L, 0, 0, -0.15f);
    leg.set(TORSO, 0, 0, -0.4f).set(UARM_L, 0.4f, 0, 0.6f);
    leg.rootRotation = Vec3(0.15f, 0, 0);
    leg.shift = Vec3(0, -1.0f, 0);
    poses[23] = leg;
    BodyPose arm = relaxed();
    arm.set(UARM_R, -1.3f, -0.3f, 0.3f).set(FARM_R, 0, 0, 0.4f).set(BAT, 0, 0, 0.2f);
    arm.set(TORSO, -0.2f, 0.45f, 0).set(HEAD, 0, 0.3f, 0).set(UARM_L, 0.3f, 0, 0.5f);
    arm.set(FARM_L, 0, 0, 1.4f);
    poses[24] = arm;
    BodyPose stagger = relaxed();
    stagger.set(TORSO, 0, 0, 0.35f).set(HEAD, 0, 0, 0.3f).set(UARM_R, -0.4f, 0, 1.8f);
    stagger.set(BAT, 0, 0, 0.3f).set(UARM_L, 0.4f, 0, 1.8f).set(THIGH_R, 0, 0, 0.8f);
    stagger.set(SHIN_R, 0, 0, -0.7f);
    stagger.rootRotation = Vec3(0, 0, 0.45f);
    stagger.shift = Vec3(-0.6f, -0.4f, 0);
    poses[25] = stagger;
    BodyPose down = relaxed();
    down.set(UARM_R, -1.3f, 0, 0.2f).set(FARM_R, 0, 0, 0.3f).set(BAT, 0, 0, 0.6f);
    down.set(UARM_L, 1.3f, 0, 0.2f).set(THIGH_R, 0, 0, 0.35f).set(SHIN_R, 0, 0, -0.5f);
    down.set(THIGH_L, 0, 0, 0.1f).set(HEAD, 0, 0.4f, 0.1f);
    down.rootRotation = Vec3(0, 0, 1.52f);
    down.shift = Vec3(0, -4.55f, 0);
    poses[26] = down;
    return poses;
}

std::vector<BodyPose> heroMoviePoses() {
    std::vector<BodyPose> poses(11);
    BodyPose stand = relaxed();
    stand.set(BAT, 0, 0, 0.2f);
    poses[0] = stand;
    BodyPose sky = stand;
    sky.set(HEAD, 0, 0, 0.55f).set(TORSO, 0, 0, 0.12f);
    poses[1] = sky;
    BodyPose left = stand;
    left.set(HEAD, 0, 0.65f, 0.1f).set(UARM_L, 0.25f, 0.3f, 2.2f).set(FARM_L, 0, 0, 2.0f);
    left.set(TORSO, 0, 0.2f, 0);
    poses[2] = left;
    BodyPose right = stand;
    right.set(HEAD, 0, -0.65f, 0.1f).set(UARM_R, -0.25f, -0.3f, 1.5f).set(FARM_R, 0, 0, 1.3f);
    right.set(BAT, 0, 0, 0.3f).set(TORSO, 0, -0.2f, 0);
    poses[3] = right;
    BodyPose wind = stand;
    wind.set(TORSO, 0, -0.65f, 0).set(UARM_R, -0.2f, -0.5f, 2.3f).set(FARM_R, 0, 0, 0.8f);
    wind.set(BAT, 0, 0, 0.7f).set(UARM_L, 0.1f, -0.3f, 1.6f).set(FARM_L, 0, 0, 1.2f);
    wind.set(THIGH_R, 0, 0, -0.2f).set(THIGH_L, 0, 0, 0.3f).set(HEAD, 0, 0.5f, 0);
    poses[4] = wind;
    BodyPose follow = stand;
    follow.set(TORSO, 0, 0.75f, -0.1f).set(UARM_R, 0, 1.0f, 1.4f).set(FARM_R, 0, 0, 0.1f);
    follow.set(BAT, 0, 0, 0.0f).set(UARM_L, 0.3f, 0.6f, 1.0f).set(FARM_L, 0, 0, 0.9f);
    follow.set(THIGH_R, 0, 0, 0.3f).set(THIGH_L, 0, 0, -0.2f).set(HEAD, 0, -0.5f, 0);
    poses[5] = follow;
    BodyPose sleep = stand;
    sleep.set(UARM_R, -0.2f, 0, 0.4f).set(FARM_R, 0, 0, 1.6f).set(BAT, 0, 0, 0.9f);
    sleep.set(UARM_L, 0.2f, 0, 0.4f).set(FARM_L, 0, 0, 1.7f).set(HEAD, 0, 0.5f, 0.0f);
    sleep.set(THIGH_L, 0, 0, 0.4f).set(SHIN_L, 0, 0, -0.7f);
    sleep.rootRotation = Vec3(0, 0, 1.52f);
    sleep.shift = Vec3(0, -4.55f, 0);
    poses[6] = sleep;
    BodyPose sit = stand;
    sit.set(THIGH_R, 0, 0, 1.5f).set(THIGH_L, 0, 0, 1.5f).set(SHIN_R, 0, 0, -0.4f);
    sit.set(SHIN_L, 0, 0, -0.9f).set(TORSO, 0, 0, 0.1f).set(UARM_R, -0.2f, 0, -0.4f);
    sit.set(UARM_L, 0.2f, 0, -0.4f).set(FARM_L, 0, 0, 0.2f).set(HEAD, 0, 0.3f, 0.1f);
    sit.shift = Vec3(0, -4.3f, 0);
    poses[7] = sit;
    BodyPose cheer = stand;
    cheer.set(UARM_R, -0.3f, 0, 2.9f).set(FARM_R, 0, 0, 0.2f).set(BAT, 0, 0, 0.0f);
    cheer.set(UARM_L, 0.3f, 0, 2.9f).set(FARM_L, 0, 0, 0.2f).set(HEAD, 0, 0, 0.25f);
    poses[8] = cheer;
    BodyPose jump = stand;
    jump.set(UARM_R, -0.8f, 0, 2.5f).set(BAT, 0, 0, 0.2f).set(UARM_L, 0.8f, 0, 2.5f);
    jump.set(THIGH_R, 0, 0, 0.9f).set(THIGH_L, 0, 0, 0.9f).set(SHIN_R, 0, 0, -1.5f);
    jump.set(SHIN_L, 0, 0, -1.5f).set(HEAD, 0, 0, 0.2f);
    jump.shift = Vec3(0, 1.6f, 0);
    poses[9] = jump;
    BodyPose hero = stand;
    hero.set(UARM_R, -0.2f, 0, 3.0f).set(FARM_R, 0, 0, 0.0f).set(BAT, 0, 0, 0.0f);
    hero.set(UARM_L, 0.7f, 0, -0.3f).set(FARM_L, 0, 0.5f, 1.9f).set(HEAD, 0, 0, 0.25f);
    hero.set(THIGH_R, -0.2f, 0, 0).set(THIGH_L, 0.2f, 0, 0);
    poses[10] = hero;
    return poses;
}

// ---- enemies and the boss ----------------------------------------------------------------

// Poses 0 to 15: idle, walk, jump, fall, attack (three), hits (six), collapse, lying.
std::vector<BodyPose> fighterPoses(bool caster, float hunch, float lieDrop) {
    std::vector<BodyPose> poses(16);
    BodyPose idle = relaxed();
    idle.set(TORSO, 0, 0, -hunch).set(HEAD, 0, 0, hunch * 0.9f);
    idle.set(UARM_R, -0.3f, 0, 0.4f + hunch).set(UARM_L, 0.3f, 0, 0.4f + hunch);
    idle.set(FARM_R, 0, 0, 0.7f).set(FARM_L, 0, 0, 0.7f);
    idle.set(THIGH_R, -0.1f, 0, 0.35f).set(THIGH_L, 0.1f, 0, 0.35f);
    idle.set(SHIN_R, 0, 0, -0.55f).set(SHIN_L, 0, 0, -0.55f);
    idle.shift = Vec3(0, -0.35f, 0);
    poses[0] = idle;
    poses[1] = walkStep(1.0f, 0.6f, hunch);
    poses[2] = walkStep(-1.0f, 0.6f, hunch);
    BodyPose jump = relaxed();
    jump.set(THIGH_R, 0, 0, 1.1f).set(THIGH_L, 0, 0, 1.1f).set(SHIN_R, 0, 0, -1.6f);
    jump.set(SHIN_L, 0, 0, -1.6f).set(UARM_R, -0.35f, 0, 2.5f).set(UARM_L, 0.35f, 0, 2.5f);
    jump.set(TORSO, 0, 0, 0.1f).set(HEAD, 0, 0, 0.2f);
    jump.shift = Vec3(0, 0.5f, 0);
    poses[3] = jump;
    BodyPose fall = relaxed();
    fall.set(THIGH_R, -0.2f, 0, 0.2f).set(THIGH_L, 0.2f, 0, 0.2f).set(SHIN_R, 0, 0, -0.3f);
    fall.set(SHIN_L, 0, 0, -0.3f).set(UARM_R, -0.6f, 0, 0.8f).set(UARM_L, 0.6f, 0, 0.8f);
    fall.set(FARM_R, 0, 0, 0.5f).set(FARM_L, 0, 0, 0.5f);
    poses[4] = fall;
    if (caster) {
        BodyPose raise = relaxed();
        raise.set(UARM_R, -1.0f, 0, 1.5f).set(UARM_L, 1.0f, 0, 1.5f).set(FARM_R, 0, 0, 0.6f);
        raise.set(FARM_L, 0, 0, 0.6f).set(TORSO, 0, 0, 0.1f).set(HEAD, 0, 0, 0.2f);
        poses[5] = raise;
        BodyPose high = relaxed();
        high.set(UARM_R, -0.25f, 0, 2.95f).set(UARM_L, 0.25f, 0, 2.95f).set(FARM_R, 0, 0, 0.2f);
        high.set(FARM_L, 0, 0, 0.2f).set(HEAD, 0, 0, 0.35f).set(TORSO, 0, 0, 0.15f);
        high.shift = Vec3(0, 0.2f, 0);
        poses[6] = high;
        BodyPose thrust = relaxed();
        thrust.set(UARM_R, 0, 0.25f, 1.55f).set(UARM_L, 0, -0.25f, 1.55f);
        thrust.set(FARM_R, 0, 0, 0.05f).set(FARM_L, 0, 0, 0.05f).set(TORSO, 0, 0, -0.25f);
        thrust.set(THIGH_L, 0, 0, 0.45f).set(SHIN_L, 0, 0, -0.3f).set(THIGH_R, 0, 0, -0.3f);
        poses[7] = thrust;
    } else {
        BodyPose wind = idle;
        wind.set(UARM_R, -0.4f, 0, 2.7f).set(FARM_R, 0, 0, 0.9f).set(UARM_L, 0.2f, 0, 1.1f);
        wind.set(TORSO, 0, -0.45f, 0.05f).set(THIGH_R, 0, 0, -0.3f).set(THIGH_L, 0, 0, 0.5f);
        poses[5] = wind;
        BodyPose strike = idle;
        strike.set(UARM_R, 0, 0.2f, 1.4f).set(FARM_R, 0, 0, 0.1f).set(UARM_L, 0.2f, 0, -0.6f);
        strike.set(TORSO, 0, 0.5f, -hunch - 0.3f).set(THIGH_R, 0, 0, -0.4f);
        strike.set(THIGH_L, 0, 0, 0.6f).set(SHIN_L, 0, 0, -0.4f);
        poses[6] = strike;
        BodyPose kick = relaxed();
        kick.set(THIGH_R, 0, 0, 1.5f).set(SHIN_R, 0, 0, -0.15f).set(THIGH_L, 0, 0, -0.1f);
        kick.set(SHIN_L, 0, 0, -0.3f).set(UARM_R, -0.9f, 0, -0.4f).set(UARM_L, 0.9f, 0, -0.4f);
        kick.set(TORSO, 0, 0, 0.25f).set(HEAD, 0, 0, -0.1f);
        poses[7] = kick;
    }
    BodyPose shot = relaxed();
    shot.set(TORSO, 0, 0, 0.5f).set(HEAD, 0, 0, 0.3f).set(UARM_R, -0.8f, 0, -0.2f);
    shot.set(UARM_L, 0.8f, 0, -0.2f);
    shot.shift = Vec3(-0.5f, 0, 0);
    poses[8] = shot;
    BodyPose head = relaxed();
    head.set(HEAD, 0, 0, 0.7f).set(TORSO, 0, 0, 0.3f).set(UARM_R, -0.2f, 0, 2.2f);
    head.set(FARM_R, 0, 0, 1.8f).set(UARM_L, 0.2f, 0, 2.2f).set(FARM_L, 0, 0, 1.8f);
    poses[9] = head;
    BodyPose arm = relaxed();
    arm.set(UARM_R, -0.6f, 0, -0.8f).set(TORSO, 0, -0.5f, 0).set(HEAD, 0, -0.3f, 0.2f);
    poses[10] = arm;
    BodyPose leg = relaxed();
    leg.set(THIGH_R, 0, 0, 0.9f).set(SHIN_R, 0, 0, -1.9f).set(TORSO, 0, 0, -0.4f);
    leg.set(UARM_R, -0.5f, 0, 0.5f).set(UARM_L, 0.5f, 0, 0.5f);
    leg.rootRotation = Vec3(0.2f, 0, 0);
    leg.shift = Vec3(0, -1.2f, 0);
    poses[11] = leg;
    BodyPose side = relaxed();
    side.set(UARM_L, 1.0f, 0, -0.5f).set(THIGH_L, 0, 0, -0.4f).set(TORSO, 0, 0.5f, 0);
    side.set(HEAD, 0, 0.3f, 0);
    side.rootRotation = Vec3(-0.25f, 0, 0);
    poses[12] = side;
    BodyPose gut = relaxed();
    gut.set(TORSO, 0, 0, -0.9f).set(HEAD, 0, 0, 0.5f).set(UARM_R, 0, 0, 0.5f);
    gut.set(FARM_R, 0, 0, 1.6f).set(UARM_L, 0, 0, 0.5f).set(FARM_L, 0, 0, 1.6f);
    gut.set(THIGH_R, 0, 0, 0.4f).set(THIGH_L, 0, 0, 0.4f).set(SHIN_R, 0, 0, -0.6f);
    gut.set(SHIN_L, 0, 0, -0.6f);
    gut.shift = Vec3(0, -0.6f, 0);
    poses[13] = gut;
    BodyPose kneel = relaxed();
    kneel.set(THIGH_R, 0, 0, 0.2f).set(THIGH_L, 0, 0, 0.2f).set(SHIN_R, 0, 0, -1.75f);
    kneel.set(SHIN_L, 0, 0, -1.75f).set(TORSO, 0, 0, -0.7f).set(HEAD, 0, 0, -0.5f);
    kneel.set(UARM_R, -0.1f, 0, 0.5f).set(UARM_L, 0.1f, 0, 0.5f);
    kneel.shift = Vec3(0, -lieDrop * 0.5f, 0);
    poses[14] = kneel;
    BodyPose lying = relaxed();
    lying.set(UARM_R, -0.3f, 0, 2.8f).set(UARM_L, 0.3f, 0, 2.8f).set(HEAD, 0, 0.5f, 0.2f);
    lying.set(THIGH_L, 0.15f, 0, 0).set(SHIN_L, 0, 0, -0.3f);
    lying.rootRotation = Vec3(0, 0, -1.52f);
    lying.shift = Vec3(0, -lieDrop, 0);
    poses[15] = lying;
    return poses;
}

// NPC poses 0 idle, 1 and 2 walk, 3 the trade reaction (a wave and a nod).
std::vector<BodyPose> villagerPoses(float hunch, const BodyPose& idleArms) {
    std::vector<BodyPose> poses(4);
    BodyPose idle = idleArms;
    idle.set(TORSO, 0, 0, -hunch).set(HEAD, 0, 0, hunch * 0.8f);
    poses[0] = idle;
    poses[1] = walkStep(1.0f, 0.45f, hunch);
    poses[2] = walkStep(-1.0f, 0.45f, hunch);
    BodyPose wave = idle;
    wave.set(UARM_R, -0.35f, 0, 2.6f).set(FARM_R, 0.3f, 0, 0.6f);
    wave.set(UARM_L, 0.2f, 0, 0.9f).set(FARM_L, 0, 0, 0.6f).set(HEAD, 0.15f, 0, -0.25f);
    poses[3] = wave;
    return poses;
}

void finish(BuiltModel& m, Person& person, const std::vector<BodyPose>& poses) {
    for (const BodyPose& p : poses)
        m.poses.push_back(person.toPose(p));
    m.rig = person.rig();
    m.rig.write(m.file, m.poses);
}

struct Palette {
    Rgb skin, hair, eyes, shirt, shirtAccent, sleeve, trousers, boots, pelvis;
};

// Paints the common swatches of a person and returns the body look.
Look paintPerson(Atlas& atlas, const Palette& c, bool frown, uint32_t seed, float hairLine) {
    Look look;
    const PixelRect face = atlas.alloc(128, 64);
    atlas.face(face, c.skin, c.hair, c.eyes, hairLine, frown, seed);
    const PixelRect torso = atlas.alloc(64, 64);
    atlas.fill(torso, c.shirt, 0.35f, seed + 1, 0.25f);
    // A lighter front panel with buttons down the middle (the front is the middle of u).
    PixelRect panel{torso.x + 26, torso.y, 12, torso.h};
    atlas.fill(panel, c.shirtAccent, 0.2f, seed + 2, 0.2f);
    for (int i = 0; i < 4; ++i)
        atlas.disc(torso, 0.5f, 0.2f + i * 0.18f, 0.035f, c.shirt * 0.5f);
    atlas.band(torso, 0.9f, 1.0f, c.pelvis * 0.8f);
    const PixelRect sleeve = atlas.alloc(32, 32);
    atlas.fill(sleeve, c.sleeve, 0.35f, seed + 3);
    const PixelRect hand = atlas.alloc(32, 32);
    atlas.fill(hand, c.skin, 0.15f, seed + 4, 0.1f);
    const PixelRect pelvis = atlas.alloc(32, 32);
    atlas.fill(pelvis, c.pelvis, 0.3f, seed + 5);
    atlas.band(pelvis, 0.0f, 0.25f, c.boots);
    const PixelRect leg = atlas.alloc(32, 32);
    atlas.fill(leg, c.trousers, 0.35f, seed + 6, 0.3f);
    const PixelRect boot = atlas.alloc(32, 32);
    atlas.fill(boot, c.boots, 0.3f, seed + 7, 0.4f);
    atlas.band(boot, 0.0f, 0.12f, c.boots * 1.4f);
    look.face = atlas.uv(face);
    look.torso = atlas.uv(torso);
    look.sleeve = atlas.uv(sleeve);
    look.hand = atlas.uv(hand);
    look.pelvis = atlas.uv(pelvis);
    look.leg = atlas.uv(leg);
    look.boot = atlas.uv(boot);
    return look;
}

UvRect paintSwatch(Atlas& atlas, int w, int h, const Rgb& c, float grain, uint32_t seed) {
    const PixelRect r = atlas.alloc(w, h);
    atlas.fill(r, c, grain, seed);
    return atlas.uv(r);
}

// Starts a model: its atlas size and its one textured material.
void begin(BuiltModel& m, MeshBuilder& mb, const std::string& base, bool dotName) {
    m.textureFile = "Data/" + base + "_tex.bmp";
    // Half the models name their texture relative to their own folder (".\\name").
    const std::string stored = dotName ? ".\\" + base + "_tex.bmp" : m.textureFile;
    mb.addMaterial(texturedMaterial(dotName ? stored : base, stored), base);
}

// ---- the hero ----------------------------------------------------------------------------

BuiltModel heroBody(const std::vector<BodyPose>& poses, const std::string& base, bool dotName) {
    BuiltModel m;
    Atlas atlas(256);
    Palette c;
    c.skin = Rgb(232, 184, 140);
    c.hair = Rgb(120, 70, 30);
    c.eyes = Rgb(40, 90, 160);
    c.shirt = Rgb(40, 120, 190);
    c.shirtAccent = Rgb(230, 220, 190);
    c.sleeve = Rgb(40, 120, 190);
    c.trousers = Rgb(190, 150, 90);
    c.boots = Rgb(100, 60, 30);
    c.pelvis = Rgb(90, 60, 35);
    Look look = paintPerson(atlas, c, false, 11, 0.3f);
    const UvRect scarf = paintSwatch(atlas, 32, 32, Rgb(210, 40, 40), 0.3f, 21);
    const PixelRect woodRect = atlas.alloc(64, 32);
    atlas.wood(woodRect, Rgb(180, 120, 60), 22);
    atlas.band(woodRect, 0.0f, 0.2f, Rgb(60, 40, 25));
    const UvRect wood = atlas.uv(woodRect);
    const UvRect metal = paintSwatch(atlas, 32, 32, Rgb(90, 95, 110), 0.3f, 23);
    const UvRect pack = paintSwatch(atlas, 32, 32, Rgb(120, 90, 50), 0.4f, 24);
    const UvRect capRect = paintSwatch(atlas, 32, 32, Rgb(200, 50, 40), 0.2f, 25);

    MeshBuilder mb(m.file);
    begin(m, mb, base, dotName);
    Frame f;
    Person p(f, kHeroOrder);
    addBody(mb, p, look);
    // Red scarf round the neck, a cap with a peak, a backpack, the bat and a small gun.
    mb.segment({0, f.neckY - 0.25f, 0}, {0, f.neckY + 0.3f, 0}, 0.75f, 0.6f, 8, scarf,
               p.bone(TORSO), 1.25f);
    mb.ellipsoid(at({0.0f, f.neckY + 1.75f, 0}), {1.08f, 0.6f, 1.02f}, 10, 5, capRect,
                 p.bone(HEAD));
    mb.box(at({0.95f, f.neckY + 1.45f, 0}), {0.6f, 0.08f, 0.75f}, capRect, p.bone(HEAD));
    mb.box(at({-1.05f, f.shoulderY - 1.3f, 0}), {0.45f, 1.1f, 0.85f}, pack, p.bone(TORSO));
    const Vec3 grip = p.pivot(BAT);
    mb.segment(grip + Vec3(0, 0.6f, 0), grip - Vec3(0, 1.2f, 0), 0.16f, 0.2f, 6, wood, p.bone(BAT));
    mb.segment(grip - Vec3(0, 1.2f, 0), grip - Vec3(0, 4.6f, 0), 0.2f, 0.42f, 8, wood, p.bone(BAT));
    const Vec3 hand = p.pivot(FARM_L) - Vec3(0, f.foreArm + 0.35f, 0);
    mb.box(at(hand - Vec3(-0.1f, 0.55f, 0.35f)), {0.22f, 0.75f, 0.14f}, metal, p.bone(FARM_L));
    mb.box(at(hand - Vec3(-0.1f, -0.05f, 0.35f)), {0.35f, 0.25f, 0.16f}, metal, p.bone(FARM_L));
    finish(m, p, poses);
    m.texture = atlas.image();
    return m;
}

// ---- fighters -----------------------------------------------------------------------------

BuiltModel brute(const std::string& base, bool dotName, bool boss) {
    BuiltModel m;
    Atlas atlas(256);
    Palette c;
    c.skin = boss ? Rgb(150, 40, 50) : Rgb(150, 185, 120);
    c.hair = boss ? Rgb(40, 20, 30) : Rgb(60, 70, 40);
    c.eyes = boss ? Rgb(255, 230, 60) : Rgb(230, 40, 30);
    c.shirt = boss ? Rgb(60, 30, 50) : Rgb(170, 140, 110);
    c.shirtAccent = boss ? Rgb(200, 160, 40) : Rgb(130, 100, 80);
    c.sleeve = c.skin;
    c.trousers = boss ? Rgb(50, 30, 40) : Rgb(120, 100, 90);
    c.boots = boss ? Rgb(30, 25, 25) : Rgb(70, 60, 50);
    c.pelvis = boss ? Rgb(120, 90, 30) : Rgb(140, 90, 60);
    Look look = paintPerson(atlas, c, true, boss ? 41 : 31, 0.15f);
    const UvRect horn =
        paintSwatch(atlas, 32, 32, boss ? Rgb(240, 220, 180) : Rgb(220, 210, 170), 0.3f, 32);
    const UvRect spike = paintSwatch(atlas, 32, 32, Rgb(90, 90, 100), 0.4f, 33);
    look.chestWidth = 1.75f;
    look.chestDepth = 1.1f;
    look.waistWidth = 1.0f;
    look.armR = 0.6f;
    look.foreR = 0.55f;
    look.legR = 0.6f;
    look.shinR = 0.5f;
    look.headRadii = Vec3(1.0f, 0.95f, 0.9f);
    look.bootSize = Vec3(0.8f, 0.35f, 0.5f);

    MeshBuilder mb(m.file);
    begin(m, mb, base, dotName);
    Frame f;
    f.hipY = 5.0f;
    f.thigh = 2.3f;
    f.shin = 2.1f;
    f.waistY = 5.4f;
    f.shoulderY = 8.8f;
    f.shoulderW = 2.25f;
    f.upperArm = 2.3f;
    f.foreArm = 2.1f;
    f.neckY = 9.3f;
    Person p(f, kPeopleOrder);
    addBody(mb, p, look);
    // Horns, big fists and, for the boss, spiked shoulders, a crest and a tail-less cloak.
    for (int side = -1; side <= 1; side += 2) {
        const Vec3 base3(0.1f, f.neckY + 1.8f, side * 0.7f);
        mb.segment(base3, base3 + Vec3(0.3f, 1.3f, side * (boss ? 1.4f : 0.7f)), 0.3f, 0.0f, 6,
                   horn, p.bone(HEAD));
        const Part fa = side > 0 ? FARM_R : FARM_L;
        mb.ellipsoid(at({0.1f, f.wristY() - 0.5f, side * f.shoulderW}), {0.6f, 0.6f, 0.5f}, 6, 4,
                     look.hand, p.bone(fa));
        if (boss) {
            const Part ua = side > 0 ? UARM_R : UARM_L;
            const Vec3 sh(0, f.shoulderY + 0.4f, side * f.shoulderW);
            mb.ellipsoid(at(sh), {0.9f, 0.6f, 0.9f}, 8, 4, spike, p.bone(ua));
            mb.segment(sh + Vec3(0, 0.3f, 0), sh + Vec3(0, 1.8f, side * 0.6f), 0.35f, 0.0f, 5, horn,
                       p.bone(ua));
            mb.segment(sh + Vec3(0.5f, 0.2f, 0), sh + Vec3(0.8f, 1.2f, side * 0.9f), 0.25f, 0.0f, 5,
                       horn, p.bone(ua));
        }
    }
    if (boss) {
        for (int i = 0; i < 4; ++i) {
            const Vec3 b(-0.95f, f.shoulderY - 0.3f - i * 0.9f, 0);
            mb.segment(b, b + Vec3(-0.9f, 0.5f, 0), 0.3f, 0.0f, 5, spike, p.bone(TORSO));
        }
    }
    finish(m, p, fighterPoses(boss, 0.3f, f.hipY - 1.1f));
    m.texture = atlas.image();
    return m;
}

} // namespace

BuiltModel buildHero(bool movieStar) {
    if (movieStar)
        return heroBody(heroMoviePoses(), "tarvo_moviestar", true);
    return heroBody(heroGamePoses(), "tarvo", true);
}

BuiltModel buildEnemy() {
    return brute("enemy", true, false);
}

BuiltModel buildBoss() {
    BuiltModel m = brute("boss", false, true);
    m.file.scale(2.6f);
    return m;
}

BuiltModel buildMagician() {
    BuiltModel m;
    Atlas atlas(256);
    Palette c;
    c.skin = Rgb(200, 190, 220);
    c.hair = Rgb(230, 230, 240);
    c.eyes = Rgb(120, 255, 255);
    c.shirt = Rgb(90, 60, 170);
    c.shirtAccent = Rgb(230, 200, 80);
    c.sleeve = Rgb(90, 60, 170);
    c.trousers = Rgb(70, 50, 140);
    c.boots = Rgb(60, 40, 90);
    c.pelvis = Rgb(230, 200, 80);
    Look look = paintPerson(atlas, c, true, 51, 0.25f);
    const PixelRect robeRect = atlas.alloc(64, 64);
    atlas.fill(robeRect, c.shirt, 0.3f, 52, 0.3f);
    for (int i = 0; i < 6; ++i)
        atlas.disc(robeRect, 0.1f + i * 0.16f, 0.3f + (i % 2) * 0.3f, 0.04f, Rgb(240, 220, 90));
    atlas.band(robeRect, 0.88f, 1.0f, Rgb(230, 200, 80));
    const UvRect robe = atlas.uv(robeRect);
    const PixelRect hatRect = atlas.alloc(64, 64);
    atlas.fill(hatRect, Rgb(60, 40, 140), 0.3f, 53, 0.1f);
    for (int i = 0; i < 8; ++i)
        atlas.disc(hatRect, 0.06f + i * 0.125f, 0.25f + (i % 3) * 0.2f, 0.035f, Rgb(250, 240, 140));
    const UvRect hat = atlas.uv(hatRect);
    const UvRect beard = paintSwatch(atlas, 32, 32, Rgb(235, 235, 245), 0.3f, 54);
    look.legR = 0.45f;
    look.shinR = 0.38f;
    look.chestWidth = 1.2f;
    look.chestDepth = 0.75f;
    look.armR = 0.5f;
    look.foreR = 0.48f;

    MeshBuilder mb(m.file);
    begin(m, mb, "magician", false);
    Frame f;
    f.shoulderW = 1.5f;
    Person p(f, kPeopleOrder);
    addBody(mb, p, look);
    // A long robe from the waist to the ankles, a wide-brimmed pointed hat and a long beard.
    mb.segment({0, f.waistY + 0.2f, 0}, {0, f.ankleY() + 0.4f, 0}, 0.95f, 2.0f, 10, robe,
               p.bone(HIPS), 1.15f);
    mb.frustum(at({0.05f, f.neckY + 1.9f, 0}), 1.9f, 1.7f, 0.2f, 10, hat, p.bone(HEAD));
    mb.segment({0.05f, f.neckY + 2.0f, 0}, {-0.5f, f.neckY + 5.2f, 0}, 1.1f, 0.0f, 10, hat,
               p.bone(HEAD));
    mb.segment({0.85f, f.neckY + 0.8f, 0}, {1.0f, f.neckY - 1.2f, 0}, 0.55f, 0.0f, 6, beard,
               p.bone(HEAD), 1.2f);
    finish(m, p, fighterPoses(true, 0.1f, f.hipY - 1.0f));
    m.texture = atlas.image();
    return m;
}

// ---- villagers ------------------------------------------------------------------------------

BuiltModel buildRarozare() {
    BuiltModel m;
    Atlas atlas(256);
    Palette c;
    c.skin = Rgb(225, 185, 160);
    c.hair = Rgb(210, 210, 215);
    c.eyes = Rgb(90, 70, 50);
    c.shirt = Rgb(235, 225, 200);
    c.shirtAccent = Rgb(235, 225, 200);
    c.sleeve = Rgb(235, 225, 200);
    c.trousers = Rgb(110, 50, 110);
    c.boots = Rgb(60, 40, 35);
    c.pelvis = Rgb(110, 50, 110);
    Look look = paintPerson(atlas, c, false, 61, 0.35f);
    const PixelRect skirtRect = atlas.alloc(64, 64);
    atlas.fill(skirtRect, Rgb(120, 50, 120), 0.3f, 62, 0.35f);
    atlas.band(skirtRect, 0.75f, 0.82f, Rgb(220, 180, 60));
    const UvRect skirt = atlas.uv(skirtRect);
    const PixelRect shawlRect = atlas.alloc(64, 32);
    atlas.stripes(shawlRect, Rgb(170, 50, 40), Rgb(200, 120, 40), 5, false, 63);
    const UvRect shawl = atlas.uv(shawlRect);
    look.legR = 0.4f;
    look.shinR = 0.35f;
    look.chestWidth = 1.15f;
    look.headRadii = Vec3(0.95f, 1.05f, 0.9f);

    MeshBuilder mb(m.file);
    begin(m, mb, "rarozare", true);
    Frame f;
    f.hipY = 5.0f;
    f.thigh = 2.3f;
    f.shin = 2.1f;
    f.waistY = 5.4f;
    f.shoulderY = 8.1f;
    f.shoulderW = 1.35f;
    f.upperArm = 1.8f;
    f.foreArm = 1.5f;
    f.neckY = 8.55f;
    Person p(f, kPeopleOrder);
    addBody(mb, p, look);
    mb.segment({0, f.waistY + 0.3f, 0}, {0, f.ankleY() + 0.3f, 0}, 0.9f, 1.7f, 10, skirt,
               p.bone(HIPS), 1.2f);
    mb.segment({0, f.shoulderY + 0.5f, 0}, {0, f.shoulderY - 1.6f, 0}, 0.85f, 1.25f, 10, shawl,
               p.bone(TORSO), 1.45f);
    mb.ellipsoid(at({-0.8f, f.neckY + 1.8f, 0}), {0.55f, 0.5f, 0.55f}, 8, 5, look.face,
                 p.bone(HEAD));
    // A walking stick in the right hand.
    const Vec3 hand = p.pivot(FARM_R) - Vec3(0, f.foreArm + 0.35f, 0);
    mb.segment(hand + Vec3(0.2f, 0.5f, 0.1f), hand + Vec3(0.35f, -3.4f, 0.1f), 0.12f, 0.12f, 5,
               look.boot, p.bone(FARM_R));
    BodyPose idle = relaxed();
    idle.set(UARM_R, -0.15f, 0, 0.5f).set(FARM_R, 0, 0, 0.3f).set(UARM_L, 0, 0.4f, 0.35f);
    idle.set(FARM_L, 0, 0, 1.3f).set(THIGH_R, 0, 0, 0.15f).set(THIGH_L, 0, 0, 0.15f);
    idle.set(SHIN_R, 0, 0, -0.25f).set(SHIN_L, 0, 0, -0.25f);
    idle.shift = Vec3(0, -0.15f, 0);
    finish(m, p, villagerPoses(0.45f, idle));
    m.texture = atlas.image();
    return m;
}

BuiltModel buildVirav() {
    BuiltModel m;
    Atlas atlas(256);
    Palette c;
    c.skin = Rgb(210, 160, 120);
    c.hair = Rgb(40, 35, 35);
    c.eyes = Rgb(50, 120, 60);
    c.shirt = Rgb(40, 70, 90);
    c.shirtAccent = Rgb(200, 200, 210);
    c.sleeve = Rgb(40, 70, 90);
    c.trousers = Rgb(60, 60, 70);
    c.boots = Rgb(40, 30, 30);
    c.pelvis = Rgb(40, 70, 90);
    Look look = paintPerson(atlas, c, false, 71, 0.28f);
    const PixelRect coatRect = atlas.alloc(64, 64);
    atlas.fill(coatRect, Rgb(40, 70, 90), 0.3f, 72, 0.3f);
    atlas.band(coatRect, 0.0f, 0.08f, Rgb(200, 170, 60));
    const UvRect coat = atlas.uv(coatRect);
    const UvRect hat = paintSwatch(atlas, 32, 32, Rgb(35, 30, 35), 0.2f, 73);
    const UvRect band = paintSwatch(atlas, 32, 32, Rgb(190, 150, 40), 0.2f, 74);
    const UvRect book = paintSwatch(atlas, 32, 32, Rgb(150, 30, 30), 0.3f, 75);
    look.chestWidth = 1.15f;
    look.chestDepth = 0.7f;
    look.armR = 0.36f;
    look.foreR = 0.32f;
    look.legR = 0.45f;
    look.shinR = 0.38f;
    look.headRadii = Vec3(0.9f, 1.2f, 0.85f);

    MeshBuilder mb(m.file);
    begin(m, mb, "virav", false);
    Frame f;
    f.hipY = 6.3f;
    f.thigh = 3.0f;
    f.shin = 2.7f;
    f.waistY = 6.7f;
    f.shoulderY = 10.0f;
    f.shoulderW = 1.35f;
    f.upperArm = 2.2f;
    f.foreArm = 1.9f;
    f.neckY = 10.5f;
    Person p(f, kPeopleOrder);
    addBody(mb, p, look);
    // A long coat to the knees, a tall hat with a gold band, a book under the left arm.
    mb.segment({0, f.waistY + 0.3f, 0}, {0, f.kneeY() - 0.6f, 0}, 0.85f, 1.35f, 10, coat,
               p.bone(HIPS), 1.3f);
    mb.frustum(at({0.05f, f.neckY + 1.95f, 0}), 1.55f, 1.55f, 0.15f, 10, hat, p.bone(HEAD));
    mb.frustum(at({0.05f, f.neckY + 2.05f, 0}), 0.85f, 0.95f, 0.45f, 10, band, p.bone(HEAD));
    mb.frustum(at({0.05f, f.neckY + 2.5f, 0}), 0.95f, 1.0f, 2.2f, 10, hat, p.bone(HEAD));
    const Vec3 hand = p.pivot(FARM_L) - Vec3(0, f.foreArm + 0.35f, 0);
    mb.box(at(hand + Vec3(0.5f, 0.3f, -0.25f)), {0.8f, 1.0f, 0.22f}, book, p.bone(FARM_L));
    BodyPose idle = relaxed();
    idle.set(UARM_L, 0.1f, 0, 0.7f).set(FARM_L, 0, 0, 1.2f).set(HEAD, 0, 0, -0.1f);
    idle.set(UARM_R, -0.1f, 0, -0.2f).set(FARM_R, 0, 0, 0.6f);
    finish(m, p, villagerPoses(0.0f, idle));
    m.texture = atlas.image();
    return m;
}

BuiltModel buildVerozi() {
    BuiltModel m;
    Atlas atlas(256);
    Palette c;
    c.skin = Rgb(220, 150, 110);
    c.hair = Rgb(150, 80, 30);
    c.eyes = Rgb(60, 60, 140);
    c.shirt = Rgb(200, 60, 50);
    c.shirtAccent = Rgb(60, 110, 60);
    c.sleeve = Rgb(200, 60, 50);
    c.trousers = Rgb(60, 110, 60);
    c.boots = Rgb(80, 55, 35);
    c.pelvis = Rgb(60, 110, 60);
    Look look = paintPerson(atlas, c, false, 81, 0.3f);
    const PixelRect strawRect = atlas.alloc(64, 32);
    atlas.stripes(strawRect, Rgb(235, 205, 110), Rgb(210, 175, 80), 3, true, 82);
    const UvRect straw = atlas.uv(strawRect);
    const UvRect beard = paintSwatch(atlas, 32, 32, Rgb(150, 80, 30), 0.4f, 83);
    const UvRect sack = paintSwatch(atlas, 32, 32, Rgb(180, 160, 120), 0.5f, 84);
    look.chestWidth = 1.8f;
    look.chestDepth = 1.15f;
    look.waistWidth = 1.5f;
    look.waistDepth = 1.1f;
    look.armR = 0.55f;
    look.foreR = 0.5f;
    look.legR = 0.62f;
    look.shinR = 0.55f;
    look.headRadii = Vec3(1.05f, 1.05f, 1.0f);

    MeshBuilder mb(m.file);
    begin(m, mb, "verozi", true);
    Frame f;
    f.hipY = 4.9f;
    f.hipW = 0.8f;
    f.thigh = 2.2f;
    f.shin = 2.0f;
    f.waistY = 5.3f;
    f.shoulderY = 8.6f;
    f.shoulderW = 2.2f;
    f.upperArm = 2.0f;
    f.foreArm = 1.7f;
    f.neckY = 9.05f;
    Person p(f, kPeopleOrder);
    addBody(mb, p, look);
    // Straw hat with a wide brim, a bushy beard, a sack on the back.
    mb.frustum(at({0.05f, f.neckY + 1.75f, 0}), 2.4f, 2.2f, 0.15f, 12, straw, p.bone(HEAD));
    mb.frustum(at({0.05f, f.neckY + 1.85f, 0}), 1.1f, 0.0f, 1.4f, 10, straw, p.bone(HEAD));
    mb.ellipsoid(at({0.75f, f.neckY + 0.55f, 0}), {0.55f, 0.75f, 0.8f}, 8, 5, beard, p.bone(HEAD));
    mb.ellipsoid(at({-1.5f, f.shoulderY - 1.2f, 0}), {0.8f, 1.3f, 1.1f}, 8, 5, sack, p.bone(TORSO));
    BodyPose idle = relaxed();
    idle.set(UARM_R, -0.42f, 0, -0.3f).set(FARM_R, 0, 0, 1.7f).set(UARM_L, 0.42f, 0, -0.3f);
    idle.set(FARM_L, 0, 0, 1.7f).set(THIGH_R, -0.12f, 0, 0).set(THIGH_L, 0.12f, 0, 0);
    finish(m, p, villagerPoses(0.05f, idle));
    m.texture = atlas.image();
    return m;
}

// ---- cutscene figures ------------------------------------------------------------------------

BuiltModel buildDoduda() {
    BuiltModel m;
    Atlas atlas(256);
    Palette c;
    c.skin = Rgb(160, 170, 180);
    c.hair = Rgb(25, 20, 35);
    c.eyes = Rgb(255, 40, 20);
    c.shirt = Rgb(40, 30, 50);
    c.shirtAccent = Rgb(140, 20, 30);
    c.sleeve = Rgb(40, 30, 50);
    c.trousers = Rgb(30, 25, 40);
    c.boots = Rgb(20, 20, 25);
    c.pelvis = Rgb(140, 20, 30);
    Look look = paintPerson(atlas, c, true, 91, 0.2f);
    const PixelRect capeRect = atlas.alloc(64, 64);
    atlas.fill(capeRect, Rgb(120, 15, 30), 0.3f, 92, 0.4f);
    const UvRect cape = atlas.uv(capeRect);
    const UvRect crown = paintSwatch(atlas, 32, 32, Rgb(230, 190, 60), 0.3f, 93);
    const UvRect orb = paintSwatch(atlas, 32, 32, Rgb(120, 255, 160), 0.2f, 94);
    const UvRect staff = paintSwatch(atlas, 32, 32, Rgb(60, 40, 30), 0.4f, 95);
    look.chestWidth = 1.5f;
    look.chestDepth = 0.9f;
    look.headRadii = Vec3(0.95f, 1.2f, 0.9f);

    MeshBuilder mb(m.file);
    begin(m, mb, "doduda_moviestar", true);
    Frame f;
    f.hipY = 7.0f;
    f.thigh = 3.3f;
    f.shin = 3.0f;
    f.waistY = 7.4f;
    f.shoulderY = 11.3f;
    f.shoulderW = 1.8f;
    f.upperArm = 2.5f;
    f.foreArm = 2.1f;
    f.neckY = 11.8f;
    std::vector<Part> order = kPeopleOrder;
    order.push_back(STAFF);
    Person p(f, order);
    addBody(mb, p, look);
    // Long robe, a cape hanging from the shoulders, a crown of spikes, a staff with an orb.
    mb.segment({0, f.waistY + 0.3f, 0}, {0, f.ankleY() + 0.2f, 0}, 1.1f, 2.3f, 10, cape,
               p.bone(HIPS), 1.2f);
    mb.box(at({-1.3f, f.shoulderY - 4.0f, 0}), {0.25f, 4.6f, 2.2f}, cape, p.bone(TORSO));
    for (int i = 0; i < 5; ++i) {
        const float a = -1.0f + i * 0.5f;
        const Vec3 b(0.9f * std::cos(a) * 0.9f, f.neckY + 2.0f, 0.9f * std::sin(a));
        mb.segment(b, b + Vec3(0.1f, 1.2f + (i == 2 ? 0.6f : 0.0f), 0), 0.25f, 0.0f, 5, crown,
                   p.bone(HEAD));
    }
    const Vec3 grip = p.pivot(STAFF);
    mb.segment(grip - Vec3(0, 3.5f, 0), grip + Vec3(0, 5.5f, 0), 0.18f, 0.22f, 6, staff,
               p.bone(STAFF));
    mb.ellipsoid(at(grip + Vec3(0, 6.2f, 0)), {0.75f, 0.75f, 0.75f}, 8, 6, orb, p.bone(STAFF));
    std::vector<BodyPose> poses(3);
    BodyPose stand = relaxed();
    stand.set(UARM_R, -0.25f, 0, 0.6f).set(FARM_R, 0, 0, 0.55f).set(STAFF, 0, 0, -1.15f);
    stand.set(UARM_L, 0.2f, 0, 0.3f).set(FARM_L, 0, 0, 1.4f).set(HEAD, 0, 0, -0.15f);
    poses[0] = stand;
    BodyPose raise = relaxed();
    raise.set(UARM_R, -0.5f, 0, 2.8f).set(FARM_R, 0, 0, 0.2f).set(STAFF, 0, 0, -2.95f);
    raise.set(UARM_L, 0.5f, 0, 2.8f).set(FARM_L, 0, 0, 0.2f).set(HEAD, 0, 0, 0.35f);
    raise.set(TORSO, 0, 0, 0.1f);
    poses[1] = raise;
    BodyPose thrust = relaxed();
    thrust.set(UARM_R, 0, 0.2f, 1.6f).set(FARM_R, 0, 0, 0.0f).set(STAFF, 0, 0, -0.3f);
    thrust.set(UARM_L, 0, -0.2f, 1.6f).set(FARM_L, 0, 0, 0.0f).set(TORSO, 0, 0, -0.3f);
    thrust.set(THIGH_L, 0, 0, 0.4f).set(THIGH_R, 0, 0, -0.25f);
    poses[2] = thrust;
    finish(m, p, poses);
    m.texture = atlas.image();
    return m;
}

namespace {

// A static model made of posed copies of one figure; each entry is a pose index and a place.
BuiltModel lineOf(const BuiltModel& figure, const std::vector<std::pair<int, Xf>>& members) {
    BuiltModel m;
    m.textureFile = figure.textureFile;
    m.texture = figure.texture;
    m.file.materials = figure.file.materials;
    Ms3dGroup g;
    g.name = "line";
    g.material = 0;
    m.file.groups.push_back(g);
    for (const auto& [pose, place] : members)
        appendBaked(figure.file, figure.rig.solve(figure.poses[pose]), place, m.file, 0);
    return m;
}

} // namespace

BuiltModel buildMagicLine() {
    // Magicians standing in an arc before Doduda (who stands at the origin), facing him.
    const BuiltModel mage = buildMagician();
    std::vector<std::pair<int, Xf>> members;
    for (int i = 0; i < 5; ++i) {
        const float a = (i - 2.0f) * 0.4f;
        members.push_back({i % 2 ? 6 : 0, atRot({22.0f * std::cos(a), 0, 22.0f * std::sin(a)},
                                                Mat3::rotY(3.14159265f - a))});
    }
    return lineOf(mage, members);
}

BuiltModel buildEnemyLine() {
    const BuiltModel brute = buildEnemy();
    std::vector<std::pair<int, Xf>> members;
    for (int i = 0; i < 5; ++i)
        members.push_back({i % 2 ? 5 : 0, at({(i % 2) * 4.0f, 0, (i - 2.0f) * 11.0f})});
    return lineOf(brute, members);
}

BuiltModel buildInsectLine() {
    BuiltModel m;
    Atlas atlas(128);
    const PixelRect shellRect = atlas.alloc(64, 64);
    atlas.fill(shellRect, Rgb(60, 120, 70), 0.4f, 101, 0.5f);
    for (int i = 0; i < 5; ++i)
        atlas.band(shellRect, 0.1f + i * 0.18f, 0.13f + i * 0.18f, Rgb(30, 60, 35));
    const UvRect shell = atlas.uv(shellRect);
    const UvRect leg = paintSwatch(atlas, 32, 32, Rgb(40, 35, 30), 0.3f, 102);
    const PixelRect eyeRect = atlas.alloc(32, 32);
    atlas.fill(eyeRect, Rgb(220, 40, 30), 0.2f, 103);
    const UvRect eye = atlas.uv(eyeRect);
    MeshBuilder mb(m.file);
    begin(m, mb, "insect_line", false);
    for (int i = 0; i < 7; ++i) {
        const Vec3 o((i % 2) * 5.0f, 0, (i - 3) * 11.0f);
        // Abdomen, thorax and head along x, raised on six legs; mandibles and antennae.
        mb.ellipsoid(at(o + Vec3(-3.0f, 3.4f, 0)), {3.0f, 1.9f, 2.1f}, 8, 5, shell, -1);
        mb.ellipsoid(at(o + Vec3(0.6f, 3.6f, 0)), {1.4f, 1.2f, 1.3f}, 8, 5, shell, -1);
        mb.ellipsoid(at(o + Vec3(2.6f, 4.0f, 0)), {1.0f, 0.9f, 1.0f}, 8, 5, eye, -1);
        for (int side = -1; side <= 1; side += 2) {
            for (int k = 0; k < 3; ++k) {
                const Vec3 hip = o + Vec3(-0.6f + k * 1.1f, 3.2f, side * 0.9f);
                const Vec3 knee = hip + Vec3((k - 1) * 1.2f, 1.4f, side * 2.2f);
                const Vec3 foot = knee + Vec3((k - 1) * 1.0f, -4.5f, side * 1.0f);
                mb.segment(hip, knee, 0.28f, 0.22f, 4, leg, -1);
                mb.segment(knee, foot, 0.22f, 0.0f, 4, leg, -1);
            }
            mb.segment(o + Vec3(3.3f, 3.7f, side * 0.4f), o + Vec3(4.6f, 3.3f, side * 0.1f), 0.25f,
                       0.0f, 4, leg, -1);
            mb.segment(o + Vec3(2.8f, 4.7f, side * 0.4f), o + Vec3(4.0f, 7.0f, side * 1.4f), 0.1f,
                       0.0f, 4, leg, -1);
        }
    }
    m.texture = atlas.image();
    return m;
}

} // namespace content::models
