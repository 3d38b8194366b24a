// What a process holds of its address space, counted region by region with
// VirtualQuery: the same figures on Windows and under Wine, whose
// GetProcessMemoryInfo leaves private bytes at 0.
//   virtual  every region reserved or committed (what a 32-bit process runs out of)
//   private  committed memory of the process's own (heaps, stacks, VirtualAlloc)
#ifndef DROVANA_SIM_PROCESS_MEMORY_H
#define DROVANA_SIM_PROCESS_MEMORY_H

#include <windows.h>

#include <stdint.h>

struct ProcessMemory {
    uint64_t virtualBytes;
    uint64_t privateBytes;
};

inline ProcessMemory MemoryOfThisProcess() {
    ProcessMemory memory = {0, 0};
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    const uint8_t *at = static_cast<const uint8_t *>(system.lpMinimumApplicationAddress);
    const uint8_t *end = static_cast<const uint8_t *>(system.lpMaximumApplicationAddress);
    MEMORY_BASIC_INFORMATION region;
    while (at < end && VirtualQuery(at, &region, sizeof region) == sizeof region && region.RegionSize > 0) {
        if (region.State != MEM_FREE) memory.virtualBytes += region.RegionSize;
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) memory.privateBytes += region.RegionSize;
        at = static_cast<const uint8_t *>(region.BaseAddress) + region.RegionSize;
    }
    return memory;
}

#endif
