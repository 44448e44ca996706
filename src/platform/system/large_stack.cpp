#include "platform/system/large_stack.h"

#include <pthread.h>
#include <sys/mman.h>
#include <unistd.h>

#include <exception>

namespace platform {

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr std::size_t kStackBytes = std::size_t(4) << 30;
#else
constexpr std::size_t kStackBytes = std::size_t(1) << 30;
#endif

// Set on the thread that RunWithLargeStack makes: work asked for there runs
// where it is, the stack it needs is the one it is on.
thread_local bool t_onLargeStack = false;

struct Job {
    const std::function<void()>* work;
    std::exception_ptr failure;
};

void* Run(void* arg)
{
    Job* job = static_cast<Job*>(arg);
    t_onLargeStack = true;
    try {
        (*job->work)();
    } catch (...) {
        job->failure = std::current_exception();
    }
    return nullptr;
}

}  // namespace

std::size_t LargeStackBytes()
{
    return kStackBytes;
}

bool OnLargeStack()
{
    return t_onLargeStack;
}

void RunWithLargeStack(const std::function<void()>& work)
{
    if (t_onLargeStack) {
        work();
        return;
    }
    // Reserved, not committed: the pages come as the stack reaches them. The
    // lowest page stays inaccessible, so an overflow still faults.
    const std::size_t page = std::size_t(sysconf(_SC_PAGESIZE));
    void* stack = mmap(nullptr, kStackBytes, PROT_READ | PROT_WRITE,
                       MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE | MAP_STACK, -1, 0);
    if (stack == MAP_FAILED) {
        work();
        return;
    }
    mprotect(stack, page, PROT_NONE);
    Job job{&work, nullptr};
    pthread_attr_t attr;
    pthread_t thread;
    bool started = false;
    if (pthread_attr_init(&attr) == 0) {
        started = pthread_attr_setstack(&attr, static_cast<char*>(stack) + page, kStackBytes - page) == 0 &&
                  pthread_create(&thread, &attr, Run, &job) == 0;
        pthread_attr_destroy(&attr);
    }
    if (started)
        pthread_join(thread, nullptr);
    munmap(stack, kStackBytes);
    if (!started)
        work();
    else if (job.failure)
        std::rethrow_exception(job.failure);
}

}  // namespace platform
