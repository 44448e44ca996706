// SIGINT and SIGTERM: a flag that the message queue turns into a close, and a
// watchdog thread that ends the process when the thread reading the queue is
// held up and does not get to it.
#include "platform/window/signals.h"

#include <pthread.h>
#include <semaphore.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "platform/window/window.h"

namespace {

std::atomic<bool> g_pending{false};
bool g_installed = false;
std::atomic<DWORD> g_graceMs{0};
std::atomic<UINT> g_exitCode{0};
sem_t g_raised;

static_assert(std::atomic<bool>::is_always_lock_free, "the signal handler needs a lock-free flag");

void OnSignal(int)
{
    const int saved = errno;
    g_pending.store(true);
    sem_post(&g_raised);  // async-signal-safe, unlike the queue itself
    errno = saved;
}

void* Watch(void*)
{
    while (sem_wait(&g_raised) != 0) {
    }
    const DWORD ms = g_graceMs.load();
    timespec left{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
    // No flush: a main thread blocked in a write holds the stream's lock. The
    // player's streams are unbuffered.
    _exit(static_cast<int>(g_exitCode.load()));
}

bool Ignored(int number)
{
    struct sigaction current {};
    return sigaction(number, nullptr, &current) == 0 && current.sa_handler == SIG_IGN;
}

}  // namespace

namespace platform {

void EndOnSignal(DWORD graceMs, UINT exitCode)
{
    g_graceMs.store(graceMs);
    g_exitCode.store(exitCode);
    if (g_installed)
        return;
    if (sem_init(&g_raised, 0, 0) != 0)
        return;

    // The watchdog takes no signal itself: they go to the threads that work.
    sigset_t both, previous;
    sigemptyset(&both);
    sigaddset(&both, SIGINT);
    sigaddset(&both, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &both, &previous);
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    pthread_attr_setstacksize(&attributes, 64 * 1024);
    pthread_t watcher;
    const bool started = pthread_create(&watcher, &attributes, Watch, nullptr) == 0;
    pthread_attr_destroy(&attributes);
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    if (!started)
        return;

    // SDL, started later, puts its own handler only where none is.
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigfillset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int number : {SIGINT, SIGTERM}) {
        // A signal ignored when the program started (SIGINT for a job that
        // a script puts in the background) stays ignored, as shells expect.
        if (!Ignored(number))
            sigaction(number, &action, nullptr);
    }
    g_installed = true;
}

bool TakeSignal()
{
    return g_pending.exchange(false);
}

}  // namespace platform
