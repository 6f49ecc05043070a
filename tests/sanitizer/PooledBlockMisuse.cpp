// Touches pooled memory it does not own, as a fault in a value's code would: a block after
// it was freed ("freed"), or the part of a slab no block has been cut from yet ("uncut").
// Under AddressSanitizer the run must end in the sanitizer's report; anything else means
// the pool hides such faults from it.

#include <cstdio>
#include <cstring>
#include <thread>

#include "value/storage/BlockPool.h"

namespace {

void touch(void* bytes) {
  *static_cast<volatile char*>(bytes) = 'x';
}

}  // namespace

int main(int argc, char** argv) {
  using namespace tumbla;
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s freed|uncut\n", argv[0]);
    return 2;
  }
  if (std::strcmp(argv[1], "freed") == 0) {
    void* block = block_pool::allocate(40);
    block_pool::release(block, 40);
    touch(block);
  } else if (std::strcmp(argv[1], "uncut") == 0) {
    // A new thread cuts its first block from a new slab: what follows the block is uncut.
    std::thread([] {
      auto* block = static_cast<char*>(block_pool::allocate(40));
      touch(block + 40);
      block_pool::release(block, 40);
    }).join();
  } else {
    return 2;
  }
  std::puts("the misuse went unreported");
  return 1;
}
