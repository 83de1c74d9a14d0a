// libFuzzer target: the MS3D reader over arbitrary bytes, then the skeleton set-up,
// the pose table and a pass over every pose on whatever it accepted.
#include "models/ms3dmodel.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ModelData model;
    std::string error;
    if (!parseMs3d(data, size, "Data/", model, error))
        return 0;
    Ms3dModel posed;
    posed.adopt(std::move(model), false);
    for (int32_t pose = 0; pose < posed.poseCount(); ++pose) {
        posed.blendToPose(pose, 0.0);
        (void)posed.posedTriangles();
    }
    posed.updateAnimation();
    return 0;
}
