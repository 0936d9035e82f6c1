// Feature points of the cellular (Crackle) patterns, cached per context.
#pragma once

namespace morvane {

struct CrackleCache {};

}  // namespace morvane
