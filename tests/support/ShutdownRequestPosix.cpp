#include "support/ShutdownRequest.h"

#include <pthread.h>

#include <csignal>

struct THeldShutdownRequests::TState {
    sigset_t old {};
};

THeldShutdownRequests::THeldShutdownRequests()
    : m_state(std::make_unique<TState>())
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &set, &m_state->old);
}

THeldShutdownRequests::~THeldShutdownRequests()
{
    pthread_sigmask(SIG_SETMASK, &m_state->old, nullptr);
}

void THeldShutdownRequests::Send(EEndRequest request)
{
    pthread_kill(pthread_self(), request == EEndRequest::Terminate ? SIGTERM : SIGINT);
}

bool THeldShutdownRequests::Supported()
{
    return true;
}
