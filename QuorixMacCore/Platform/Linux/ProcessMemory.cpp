#include "QuorixMacCore/Platform/ProcessMemory.h"

#include <malloc.h>

namespace quorix {

void returnFreedMemoryToTheSystem() {
    malloc_trim(0);
}

} // namespace quorix
