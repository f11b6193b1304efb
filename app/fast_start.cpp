// Start-up of the short-lived programs. A command runs two of them one after the other (portab,
// then the profile plug-in), and a large part of each goes to page faults: every first touch of
// a page of the program or of the heap traps into the kernel, which is costly on virtual
// machines. Before main, the program's read-only segments (code and constants) are mapped in
// one call each (MADV_POPULATE_READ, Linux 5.14; older kernels refuse it and nothing changes)
// and the heap is grown once by what a command typically uses, with its pages mapped.

#include <link.h>
#include <malloc.h>
#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>

namespace {

#ifndef MADV_POPULATE_READ
constexpr int MADV_POPULATE_READ = 22;
#endif
#ifndef MADV_POPULATE_WRITE
constexpr int MADV_POPULATE_WRITE = 23;
#endif

constexpr uintptr_t kPage = 4096;
constexpr size_t kHeapReserve = 768 * 1024;  // about what one command allocates

int MapSegments(dl_phdr_info* info, size_t /*size*/, void* /*unused*/) {
  for (int i = 0; i < info->dlpi_phnum; ++i) {
    const ElfW(Phdr)& segment = info->dlpi_phdr[i];
    // The writable segment is left alone: part of it is made read-only after start.
    if (segment.p_type != PT_LOAD || (segment.p_flags & PF_W) != 0) continue;
    const uintptr_t start = (info->dlpi_addr + segment.p_vaddr) & ~(kPage - 1);
    const uintptr_t end = info->dlpi_addr + segment.p_vaddr + segment.p_memsz;
    ::madvise(reinterpret_cast<void*>(start), end - start, MADV_POPULATE_READ);
  }
  return 1;  // the program itself is the first object; shared objects are not ours to map
}

// Grows the heap by kHeapReserve with its pages mapped, then frees it: later allocations reuse
// the mapped pages. The heap keeps them (no trim below that size).
void ReserveHeap() {
  ::mallopt(M_TRIM_THRESHOLD, static_cast<int>(2 * kHeapReserve));
  ::mallopt(M_MMAP_THRESHOLD, static_cast<int>(2 * kHeapReserve));
  void* block = std::malloc(kHeapReserve);
  if (block == nullptr) return;
  const uintptr_t start = (reinterpret_cast<uintptr_t>(block) + kPage - 1) & ~(kPage - 1);
  const uintptr_t end = (reinterpret_cast<uintptr_t>(block) + kHeapReserve) & ~(kPage - 1);
  if (end > start) ::madvise(reinterpret_cast<void*>(start), end - start, MADV_POPULATE_WRITE);
  std::free(block);
}

__attribute__((constructor(101))) void FastStart() {
  ::dl_iterate_phdr(MapSegments, nullptr);
  ReserveHeap();
}

}  // namespace
