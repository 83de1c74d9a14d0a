// A skeleton for building animated models: joints with pivots in the bind pose, each with a
// natural parent (the body part it hangs from) that may come later in file order. Poses give
// every joint a local rotation against its natural parent (Mat3::fromPose angles) and the root
// a shift; solving them is plain forward kinematics. Writing a rig stores each joint relative to
// the nearest natural ancestor that precedes it in the file (the format needs parents first),
// with one rotation and one translation key per pose at time pose / fps, so every joint is keyed
// at every pose time. The bind pose has no rotation. Cheap: a few matrix products per joint.
#pragma once

#include "models/ms3dwriter.h"

#include <string>
#include <vector>

namespace content::models {

struct Pose {
    std::vector<Vec3> rotation; // per joint, local to its natural parent
    Vec3 rootShift;             // added to the root's pivot
    Vec3 rootRotation;          // extra rotation of the root, fromPose angles, applied first
};

class Rig {
public:
    // Adds a joint; `parent` is the natural parent's name (empty for the root).
    int add(const std::string& name, const std::string& parent, const Vec3& pivot);
    int count() const { return static_cast<int>(m_joints.size()); }
    int index(const std::string& name) const; // -1 when absent
    const Vec3& pivot(int joint) const { return m_joints[joint].pivot; }

    Pose rest() const;
    // Per joint, the rigid motion that carries its bind-pose points into the pose.
    std::vector<Xf> solve(const Pose& pose) const;
    // Writes the joints and one key per pose into the file (replacing its joints).
    void write(Ms3dFile& file, const std::vector<Pose>& poses) const;

private:
    struct Joint {
        std::string name;
        std::string parent;
        Vec3 pivot;
    };
    int naturalParent(int joint) const;
    int fileParent(int joint) const;
    std::vector<Joint> m_joints;
};

} // namespace content::models
