#include "listener/IoThread.h"

#include "member/DeviceQueue.h"

#include <mutex>

std::shared_ptr<TIoThread> TIoThread::Acquire()
{
    static std::mutex mutex;
    static std::weak_ptr<TIoThread> shared;
    std::scoped_lock lock(mutex);
    std::shared_ptr<TIoThread> thread = shared.lock();
    if (!thread) {
        thread.reset(new TIoThread());
        shared = thread;
    }
    return thread;
}

TIoThread::TIoThread()
    // One thread: the context may skip locking its queues.
    : m_io(std::make_shared<asio::io_context>(1))
    , m_work(m_io->get_executor())
{
    m_thread = std::thread([io = m_io] { io->run(); });
}

TIoThread::~TIoThread()
{
    // Owners stop what they serve and wait for it before they let go, but
    // a transaction a stop gave up on (a hung printer call, its host killed)
    // still completes on this context: it must still be there, and serving,
    // so the request's coroutine ends as every other does.
    DeviceQueue.WaitForRequests();
    m_work.reset();
    m_io->stop();
    m_thread.join();
}
