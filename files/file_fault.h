#pragma once
// Fault injection into the file layer, for tests only: product code never includes this header.

// The n-th later file_write (0 the next) fails; -1 turns this off.
void file_fail_write_after(int n);
