#pragma once
// Work on every core, results taken in order: the package writer encodes its entries this way,
// and the installation decodes its entries this way. Items 0..count-1 are each prepared and then
// consumed on the calling thread, in order; in between any thread may work on them. `work` must
// touch nothing but its own item (it runs on several threads at once); `prepare` and `consume`
// run on the calling thread only, so they may use the file layer and the log.

typedef void (*OrderedStep)(void* context, int index);

struct OrderedSteps {
  OrderedStep prepare;  // may be null
  OrderedStep work;
  OrderedStep consume;
  void* context;
};

// Runs on `threads` threads (this one included; 0 or less: every core). At most `window` items
// (at least one) are prepared ahead of the one being consumed, which bounds the memory held.
void ordered_work(int count, int threads, int window, const OrderedSteps* steps);
// The number of threads that 0 stands for.
int ordered_work_threads();
