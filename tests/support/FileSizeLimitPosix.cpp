#include "support/FileSizeLimit.h"

#include <sys/resource.h>

#include <csignal>

struct TFileSizeLimit::TSaved {
    rlimit limit {};
    void (*handler)(int) = nullptr;
};

TFileSizeLimit::TFileSizeLimit(size_t bytes)
    : m_saved(std::make_unique<TSaved>())
{
    getrlimit(RLIMIT_FSIZE, &m_saved->limit);
    m_saved->handler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = m_saved->limit;
    small.rlim_cur = static_cast<rlim_t>(bytes);
    setrlimit(RLIMIT_FSIZE, &small);
}

TFileSizeLimit::~TFileSizeLimit()
{
    setrlimit(RLIMIT_FSIZE, &m_saved->limit);
    std::signal(SIGXFSZ, m_saved->handler);
}

bool TFileSizeLimit::Supported()
{
    return true;
}
