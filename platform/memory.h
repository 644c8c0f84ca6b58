#pragma once

namespace platform
{

// A large link table is tens of megabytes of small blocks, and on some virtual machines each
// page that a new block touches costs more than reading a file. The heap then grows in one
// large step backed by huge pages, where the system grants them on request; elsewhere this
// does nothing. Called once, at start, by programs that read whole favourites.
void growHeapInLargePages();

} // namespace platform
