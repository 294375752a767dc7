#include "crashcapture/capture/SymbolLookup.h"

#include <elf.h>
#include <link.h>

namespace crashcapture::capture {

namespace {

constexpr std::size_t kMaxSymbols = 1 << 20;

// ld.so relocates most dynamic-section pointers in place; an unrelocated
// one (below the bias) is relative to the image.
std::uintptr_t absolute(std::uintptr_t pointer, std::uintptr_t bias) {
    return pointer < bias ? pointer + bias : pointer;
}

// Number of dynamic symbols, from the GNU hash table: one past the highest
// index any bucket chain reaches.
std::size_t gnuHashSymbolCount(const std::uint32_t* table) {
    const std::uint32_t buckets = table[0];
    const std::uint32_t offset = table[1];
    const std::uint32_t bloomWords = table[2];
    const auto* bucket =
        reinterpret_cast<const std::uint32_t*>(reinterpret_cast<const ElfW(Addr)*>(table + 4) + bloomWords);
    const std::uint32_t* chain = bucket + buckets;
    std::uint32_t highest = 0;
    for (std::uint32_t index = 0; index < buckets && index < kMaxSymbols; ++index)
        if (bucket[index] > highest) highest = bucket[index];
    if (highest < offset) return offset;
    for (std::size_t steps = 0; steps < kMaxSymbols; ++steps, ++highest)
        if (chain[highest - offset] & 1) return highest + 1;
    return 0;
}

// The lookup itself, reading image memory directly: the caller guards it.
bool lookup(const LoadedImage& image, std::uintptr_t address, FoundSymbol& found) {
    std::uintptr_t symbols = 0;
    std::uintptr_t strings = 0;
    std::size_t count = 0;
    const auto* entry = static_cast<const ElfW(Dyn)*>(image.dynamicSection);
    for (std::size_t index = 0; index < 256 && entry[index].d_tag != DT_NULL; ++index) {
        const ElfW(Dyn)& dynamic = entry[index];
        const std::uintptr_t pointer = absolute(dynamic.d_un.d_ptr, image.bias);
        if (dynamic.d_tag == DT_SYMTAB) symbols = pointer;
        else if (dynamic.d_tag == DT_STRTAB) strings = pointer;
        else if (dynamic.d_tag == DT_GNU_HASH)
            count = gnuHashSymbolCount(reinterpret_cast<const std::uint32_t*>(pointer));
        else if (dynamic.d_tag == DT_HASH && count == 0) count = reinterpret_cast<const std::uint32_t*>(pointer)[1];
    }
    if (!symbols || !strings || count == 0 || count > kMaxSymbols) return false;

    const auto* table = reinterpret_cast<const ElfW(Sym)*>(symbols);
    const ElfW(Sym)* best = nullptr;
    for (std::size_t index = 0; index < count; ++index) {
        const ElfW(Sym)& symbol = table[index];
        const unsigned type = (symbol.st_info & 0xF);
        if ((type != STT_FUNC && type != STT_GNU_IFUNC) || symbol.st_shndx == SHN_UNDEF || symbol.st_value == 0)
            continue;
        const std::uintptr_t start = image.bias + symbol.st_value;
        const std::uintptr_t end = start + (symbol.st_size ? symbol.st_size : 1);
        if (address < start || address >= end) continue;
        // Of aliases, a global name wins over weak and local ones.
        if (!best || ((symbol.st_info >> 4) == STB_GLOBAL && (best->st_info >> 4) != STB_GLOBAL)) best = &symbol;
    }
    if (!best) return false;
    found.start = image.bias + best->st_value;
    found.end = found.start + best->st_size;
    const char* name = reinterpret_cast<const char*>(strings + best->st_name);
    found.nameLength = 0;
    while (found.nameLength < sizeof found.name && name[found.nameLength] != '\0') {
        found.name[found.nameLength] = name[found.nameLength];
        ++found.nameLength;
    }
    return found.nameLength > 0;
}

} // namespace

bool findDynamicSymbol(FaultGuard& guard, const LoadedImage& image, std::uintptr_t address, FoundSymbol& found) {
    if (!image.dynamicSection || address < image.base || address >= image.base + image.size) return false;
    static volatile bool result; // set inside the guarded call, read after a possible jump
    result = false;
    guard.guarded([&] { result = lookup(image, address, found); });
    return result;
}

} // namespace crashcapture::capture
