#include "models/shadowfeed.h"

#include <initializer_list>

namespace {
ShadowBuilderFactory s_default = nullptr;
ShadowBuilderFactory s_factory = nullptr;
} // namespace

void SetDefaultShadowBuilderFactory(ShadowBuilderFactory factory) {
    s_default = factory;
}

void SetShadowBuilderFactory(ShadowBuilderFactory factory) {
    s_factory = factory;
}

std::unique_ptr<ShadowBuilder> CreateShadowBuilder() {
    for (ShadowBuilderFactory factory : {s_factory, s_default}) {
        if (!factory)
            continue;
        std::unique_ptr<ShadowBuilder> builder = factory();
        if (builder)
            return builder;
    }
    return std::make_unique<NullShadowBuilder>();
}
