// Ordered work: a queue of prepared items that helper threads and the calling thread take from,
// and the calling thread consuming them in order.

#include "setup/ordered_work.h"

#include <condition_variable>
#include <mutex>
#include <new>
#include <thread>

namespace {

// Items [0, prepared) may be worked on; `next` is the first one no thread has taken yet.
struct Queue {
  const OrderedSteps* steps;
  bool* done;
  int prepared = 0, next = 0;
  bool finish = false;
  std::mutex lock;
  std::condition_variable work, ready;
};

// Takes the next prepared item and works on it; false when there is none. Called with the lock.
bool work_next(Queue* q, std::unique_lock<std::mutex>& held) {
  if (q->next >= q->prepared) return false;
  int i = q->next++;
  held.unlock();
  q->steps->work(q->steps->context, i);
  held.lock();
  q->done[i] = true;
  q->ready.notify_all();
  return true;
}

void helper(Queue* q) {
  std::unique_lock<std::mutex> held(q->lock);
  for (;;) {
    if (work_next(q, held)) continue;
    if (q->finish) return;
    q->work.wait(held);
  }
}

// Without memory for the bookkeeping, one item after another on this thread.
void in_sequence(int count, const OrderedSteps* s) {
  for (int i = 0; i < count; ++i) {
    if (s->prepare) s->prepare(s->context, i);
    s->work(s->context, i);
    s->consume(s->context, i);
  }
}

}  // namespace

int ordered_work_threads() {
  int n = (int)std::thread::hardware_concurrency();
  return n < 1 ? 1 : n;
}

void ordered_work(int count, int threads, int window, const OrderedSteps* steps) {
  if (count <= 0) return;
  if (threads <= 0) threads = ordered_work_threads();
  if (window < 1) window = 1;
  bool* done = threads > 1 ? new (std::nothrow) bool[(size_t)count]() : nullptr;
  std::thread* pool = done ? new (std::nothrow) std::thread[(size_t)threads - 1] : nullptr;
  if (!pool) {
    delete[] done;
    in_sequence(count, steps);
    return;
  }
  Queue q;
  q.steps = steps;
  q.done = done;
  for (int k = 0; k < threads - 1; ++k) pool[k] = std::thread(helper, &q);
  for (int i = 0; i < count; ++i) {
    {
      // Only this thread moves `prepared`, so it may read it without the lock.
      int upto = i + window < count ? i + window : count;
      for (int k = q.prepared; k < upto; ++k)
        if (steps->prepare) steps->prepare(steps->context, k);
      std::unique_lock<std::mutex> held(q.lock);
      if (upto > q.prepared) {
        q.prepared = upto;
        q.work.notify_all();
      }
      // This thread works too while the item it must consume next is not ready.
      while (!q.done[i])
        if (!work_next(&q, held)) q.ready.wait(held);
    }
    steps->consume(steps->context, i);
  }
  {
    std::lock_guard<std::mutex> held(q.lock);
    q.finish = true;
    q.work.notify_all();
  }
  for (int k = 0; k < threads - 1; ++k) pool[k].join();
  delete[] pool;
  delete[] done;
}
