#include "host/HostPipe.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>

namespace {

HANDLE Handle(intptr_t value)
{
    return reinterpret_cast<HANDLE>(value);
}

// A private copy of a standard handle, not inherited by anything the
// library may start.
intptr_t Keep(DWORD standard)
{
    HANDLE copy = INVALID_HANDLE_VALUE;
    const HANDLE self = GetCurrentProcess();
    if (!DuplicateHandle(self, GetStdHandle(standard), self, &copy, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
        copy = INVALID_HANDLE_VALUE;
    }
    return reinterpret_cast<intptr_t>(copy);
}

} // namespace

THostPipe::THostPipe()
    : m_in(Keep(STD_INPUT_HANDLE))
    , m_out(Keep(STD_OUTPUT_HANDLE))
{
    // Neither the system's nor the C runtime's standard streams lead into
    // the pipe any more: output goes to standard error (or nowhere), input
    // is empty.
    const int empty = _open("NUL", _O_RDONLY | _O_BINARY);
    if (empty >= 0) {
        _dup2(empty, 0);
        _close(empty);
    }
    if (_dup2(2, 1) != 0) {
        const int nowhere = _open("NUL", _O_WRONLY | _O_BINARY);
        if (nowhere >= 0) {
            _dup2(nowhere, 1);
            _close(nowhere);
        }
    }
    SetStdHandle(STD_INPUT_HANDLE, reinterpret_cast<HANDLE>(_get_osfhandle(0)));
    SetStdHandle(STD_OUTPUT_HANDLE, reinterpret_cast<HANDLE>(_get_osfhandle(1)));
    // Ctrl+C and Ctrl+Break of a console the host shares are the program's.
    SetConsoleCtrlHandler(nullptr, TRUE);
    // A crash ends the process at once instead of waiting in an error box.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
}

THostPipe::~THostPipe()
{
    CloseHandle(Handle(m_in));
    CloseHandle(Handle(m_out));
}

bool THostPipe::Read(char* data, size_t size)
{
    while (size > 0) {
        DWORD n = 0;
        if (!ReadFile(Handle(m_in), data, static_cast<DWORD>(size), &n, nullptr) || n == 0) {
            return false;
        }
        data += n;
        size -= n;
    }
    return true;
}

bool THostPipe::Write(std::string_view bytes)
{
    while (!bytes.empty()) {
        DWORD n = 0;
        if (!WriteFile(Handle(m_out), bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr)) {
            return false;
        }
        bytes.remove_prefix(n);
    }
    return true;
}
