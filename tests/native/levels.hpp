// Which instruction-set levels the kernel tests can run here. A level the CPU lacks is
// reported once, so a run on a smaller CPU says what it did not check.
#pragma once

#include <cstdio>

#include "lib/cpu/isa.hpp"

namespace levels {

inline bool runs(tarnex::cpu::Isa level) {
    const bool ok = static_cast<int>(level) <= static_cast<int>(tarnex::cpu::detected_isa());
    static bool told[3] = {};
    if (!ok && !told[static_cast<int>(level)]) {
        told[static_cast<int>(level)] = true;
        std::printf("this CPU cannot run the %s kernels; they are not checked here\n",
                    tarnex::cpu::isa_name(level));
    }
    return ok;
}

}  // namespace levels
