#include "shutdownsignals.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <unistd.h>

namespace {

int g_pipe[2] = { -1, -1 };
volatile std::sig_atomic_t g_signal = 0;

const int handled[] = { SIGINT, SIGTERM, SIGHUP };

void onSignal(int number)
{
    const int saved = errno;
    if (g_signal == 0)
        g_signal = number;
    const char byte = 1;
    [[maybe_unused]] const ssize_t ignored = ::write(g_pipe[1], &byte, 1);
    errno = saved;
}

} // namespace

ShutdownSignals::ShutdownSignals()
{
    if (::pipe(g_pipe) != 0)
        throw std::runtime_error(std::string("pipe: ") + std::strerror(errno));
    for (int end : g_pipe) {
        ::fcntl(end, F_SETFL, ::fcntl(end, F_GETFL) | O_NONBLOCK);
        ::fcntl(end, F_SETFD, FD_CLOEXEC);
    }
    struct sigaction action
    {
    };
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    for (int number : handled)
        ::sigaction(number, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}

ShutdownSignals::~ShutdownSignals()
{
    for (int number : handled)
        std::signal(number, SIG_DFL);
    ::close(g_pipe[0]);
    ::close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
}

int ShutdownSignals::fd() const
{
    return g_pipe[0];
}

int ShutdownSignals::received() const
{
    return g_signal;
}
