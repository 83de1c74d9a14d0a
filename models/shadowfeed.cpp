#include "models/shadowfeed.h"

#include "world/shadowvolume.h"

namespace {
ShadowBuilderFactory s_factory = nullptr;
}

void SetShadowBuilderFactory(ShadowBuilderFactory factory) {
    s_factory = factory;
}

std::unique_ptr<ShadowBuilder> CreateShadowBuilder() {
    if (s_factory) {
        std::unique_ptr<ShadowBuilder> builder = s_factory();
        if (builder)
            return builder;
    }
    return CreateShadowVolume();
}
