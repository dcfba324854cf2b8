// Takes a page of the given number of bytes from the system as the scanner does, writes its
// last byte, and ends. Timed as a whole process against the same program holding nothing,
// it is what keeping a scanned page in memory costs a fresh process, whatever fills it.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "platform/sane/SaneFrames.h"

int main(int argc, char** argv) {
    const size_t size = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 0;
    if (size == 0) return 0;
    std::vector<uint8_t> page;
    folioray::sane::AllocatePage(page, size);
    page.back() = 1;
    // Read back through a volatile, so the page cannot be optimised away.
    return *static_cast<volatile uint8_t*>(page.data() + size - 1) == 1 ? 0 : 1;
}
