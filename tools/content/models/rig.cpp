#include "models/rig.h"

#include <functional>
#include <stdexcept>

namespace content::models {

int Rig::add(const std::string& name, const std::string& parent, const Vec3& pivot) {
    if (index(name) >= 0)
        throw std::runtime_error("rig: duplicate joint " + name);
    m_joints.push_back({name, parent, pivot});
    return count() - 1;
}

int Rig::index(const std::string& name) const {
    for (int i = 0; i < count(); ++i)
        if (m_joints[i].name == name)
            return i;
    return -1;
}

int Rig::naturalParent(int joint) const {
    const std::string& p = m_joints[joint].parent;
    if (p.empty())
        return -1;
    const int i = index(p);
    if (i < 0)
        throw std::runtime_error("rig: unknown parent " + p);
    return i;
}

int Rig::fileParent(int joint) const {
    int p = naturalParent(joint);
    while (p > joint)
        p = naturalParent(p);
    return p;
}

Pose Rig::rest() const {
    Pose p;
    p.rotation.assign(m_joints.size(), Vec3());
    return p;
}

std::vector<Xf> Rig::solve(const Pose& pose) const {
    // World rotation and pivot position of every joint, by natural parents.
    std::vector<Mat3> rot(m_joints.size());
    std::vector<Vec3> pos(m_joints.size());
    std::vector<int> done(m_joints.size(), 0);
    std::function<void(int)> visit = [&](int j) {
        if (done[j] == 2)
            return;
        if (done[j] == 1)
            throw std::runtime_error("rig: parent loop");
        done[j] = 1;
        const Vec3 local = j < static_cast<int>(pose.rotation.size()) ? pose.rotation[j] : Vec3();
        const int p = naturalParent(j);
        if (p < 0) {
            rot[j] = Mat3::fromPose(pose.rootRotation) * Mat3::fromPose(local);
            pos[j] = m_joints[j].pivot + pose.rootShift;
        } else {
            visit(p);
            rot[j] = rot[p] * Mat3::fromPose(local);
            pos[j] = pos[p] + rot[p] * (m_joints[j].pivot - m_joints[p].pivot);
        }
        done[j] = 2;
    };
    std::vector<Xf> motion(m_joints.size());
    for (int j = 0; j < count(); ++j) {
        visit(j);
        motion[j].rotation = rot[j];
        motion[j].origin = pos[j] - rot[j] * m_joints[j].pivot;
    }
    return motion;
}

void Rig::write(Ms3dFile& file, const std::vector<Pose>& poses) const {
    if (count() > 30 || poses.size() > 30)
        throw std::runtime_error("rig: more than 30 joints or poses");
    file.joints.clear();
    std::vector<std::vector<Xf>> solved;
    for (const Pose& p : poses)
        solved.push_back(solve(p));
    for (int j = 0; j < count(); ++j) {
        Ms3dJoint out;
        out.name = m_joints[j].name;
        const int fp = fileParent(j);
        out.parent = fp >= 0 ? m_joints[fp].name : std::string();
        const Vec3 bind = fp >= 0 ? m_joints[j].pivot - m_joints[fp].pivot : m_joints[j].pivot;
        out.translation = bind;
        for (size_t i = 0; i < poses.size(); ++i) {
            const float time = static_cast<float>(i) / file.fps;
            // The joint's posed frame: rotation R and pivot position.
            const Mat3& r = solved[i][j].rotation;
            const Vec3 p = solved[i][j].apply(m_joints[j].pivot);
            Mat3 local = r;
            Vec3 offset = p;
            if (fp >= 0) {
                const Mat3 prt = solved[i][fp].rotation.transposed();
                const Vec3 pp = solved[i][fp].apply(m_joints[fp].pivot);
                local = prt * r;
                offset = prt * (p - pp);
            }
            out.rotationKeys.push_back({time, local.toEuler()});
            out.translationKeys.push_back({time, offset - bind});
        }
        file.joints.push_back(out);
    }
    file.totalFrames = static_cast<int32_t>(poses.empty() ? 1 : poses.size());
}

} // namespace content::models
