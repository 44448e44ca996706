#pragma once
// Work that recurses as deep as its input (compilers on generated text) run
// on a thread whose stack reserves far more address space than the main
// thread's, the caller waiting for it.
#include <cstddef>
#include <functional>

namespace platform {

// Address space the stack of RunWithLargeStack reserves (pages are taken only
// as the stack grows into them); more in sanitizer builds, whose frames are larger.
std::size_t LargeStackBytes();

// Runs work on a new thread with a stack of LargeStackBytes() and waits for it;
// an exception from work is rethrown here. Called from within such work, or
// where no such thread can be made, work runs on the calling thread.
void RunWithLargeStack(const std::function<void()>& work);

// Whether the calling thread is one that RunWithLargeStack made.
bool OnLargeStack();

}  // namespace platform
