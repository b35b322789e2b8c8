// A process-wide SIGBUS handler, installed at the first guarded call: a
// signal raised on a thread inside run_guarded jumps back to it; any other
// goes to the handler that was there before (or ends the process as it
// would have).
#include "engine/tw_map_guard.h"

#include <pthread.h>

#include <csetjmp>
#include <csignal>
#include <mutex>

namespace tw {

namespace {

thread_local sigjmp_buf* t_jump = nullptr;
struct sigaction g_previous {};
std::once_flag g_installed;

void on_sigbus(int sig, siginfo_t* info, void* context) {
    if (sigjmp_buf* jump = t_jump) {
        t_jump = nullptr;
        siglongjmp(*jump, 1);
    }
    if ((g_previous.sa_flags & SA_SIGINFO) != 0) {
        if (g_previous.sa_sigaction != nullptr) g_previous.sa_sigaction(sig, info, context);
        return;
    }
    if (g_previous.sa_handler == SIG_IGN) return;
    if (g_previous.sa_handler == SIG_DFL) {
        std::signal(SIGBUS, SIG_DFL);
        std::raise(SIGBUS);
        return;
    }
    g_previous.sa_handler(sig);
}

}  // namespace

bool run_guarded(void (*fn)(void*), void* arg) {
    std::call_once(g_installed, [] {
        struct sigaction sa {};
        sa.sa_sigaction = on_sigbus;
        // Not blocked while handled, so the jump out of the handler needs
        // no signal mask restored (and sigsetjmp no system call).
        sa.sa_flags = SA_SIGINFO | SA_NODEFER;
        sigemptyset(&sa.sa_mask);
        sigaction(SIGBUS, &sa, &g_previous);
    });
    sigjmp_buf jump;
    if (sigsetjmp(jump, 0) != 0) {
        // SA_NODEFER keeps SIGBUS unblocked in our handler, but a runtime
        // that wraps handlers (ThreadSanitizer) may run it with every signal
        // blocked: left blocked, the next fault would end the process.
        sigset_t bus;
        sigemptyset(&bus);
        sigaddset(&bus, SIGBUS);
        pthread_sigmask(SIG_UNBLOCK, &bus, nullptr);
        return false;
    }
    t_jump = &jump;
    fn(arg);
    t_jump = nullptr;
    return true;
}

}  // namespace tw
