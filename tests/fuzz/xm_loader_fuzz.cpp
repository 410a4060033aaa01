// libFuzzer target: any byte string through the memory stream into the loader. What loads
// must satisfy the Module's invariants; then it is released again. Sanitizers catch every
// read or write out of bounds, leak and undefined operation on the way.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "player/module.h"
#include "player/stream.h"
#include "player/xm_loader.h"
#include "tests/player/module_invariants.h"

namespace {

// Everything done with a module that loaded; playing it belongs here as well.
void exerciseLoaded(const quarbtro::Module& module) {
    std::string broken = quarbtro::testing::brokenInvariant(module);
    if (!broken.empty()) {
        std::fprintf(stderr, "loaded module breaks an invariant: %s\n", broken.c_str());
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 0x7FFFFFFF) return 0;
    quarbtro::useMemoryStream();
    quarbtro::setMemoryStreamSource(data, std::int32_t(size));
    quarbtro::Module* module = quarbtro::loadModule(nullptr, nullptr);
    if (module) exerciseLoaded(*module);
    quarbtro::freeModule(module);
    return 0;
}
