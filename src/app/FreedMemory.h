#pragma once
// Giving back to the system the heap memory a long command has freed.
//
// An export of a large table builds and frees a great deal (the workbook's
// strings and buffers); the C library's allocator keeps the freed blocks for
// later use rather than returning them, so the window would go on holding
// the export's peak (measured: 183 MiB resident after a workbook export of a
// million records, 139 MiB of it free heap, where 32 MiB were held before).
// The window calls this when such a command ends.

namespace karto {

// Returns the free heap memory to the system as far as the allocator can;
// does nothing where the allocator offers no way to.
void releaseFreedMemory();

} // namespace karto
