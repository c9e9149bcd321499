#pragma once

// The library is built with hidden visibility; only what carries this mark is
// reachable from a host program.
#if defined(TREEWELL_LIBRARY)
#define TREEWELL_EXPORT __attribute__((visibility("default")))
#else
#define TREEWELL_EXPORT
#endif
