#pragma once
// Fault injection into the allocator of Text storage, for tests only: product code never
// includes this header.

// A countdown makes the n-th later allocation fail; -1 turns fault injection off.
void text_fail_alloc_after(int n);
