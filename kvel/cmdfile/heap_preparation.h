// Preparing the heap for the arguments of a large command file. Reading one
// of a million arguments touches some 80 MB of small strings and argument
// lists; on Linux with glibc the heap is grown once for that and backed by
// transparent huge pages where the system allows them on request, which
// spares tens of thousands of page faults. Elsewhere nothing is done.
#ifndef KVEL_CMDFILE_HEAP_PREPARATION_H
#define KVEL_CMDFILE_HEAP_PREPARATION_H

#include <cstddef>

namespace KVEL {

// Makes room for about `bytes` of small allocations. Best effort: when the
// memory cannot be had, nothing changes and allocation goes on as usual.
void prepareHeap(std::size_t bytes);

// Gives the heap back its usual behaviour and returns free memory at its top
// to the system; called before the hand-over to the shell.
void restoreHeap();

}  // namespace KVEL

#endif
