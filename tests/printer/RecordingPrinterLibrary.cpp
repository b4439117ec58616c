// A printer library that writes each call it gets as one line to the file
// named by the environment variable MEMBER_RECORDING_PRINTER, for the
// printer host's tests: "<pid> <call>", CommOpen with "=<handle>" after it.
// CommOpen gives a handle of the process's own (a new host gives another);
// every other call succeeds (32). A call named in the file <that file>.crash
// crashes the process, once: the file goes first. The same with
// <that file>.fork (POSIX) first forks a child that sleeps, holding the
// host's pipe, and writes its pid into <that file>.child; with
// <that file>.stray a call returns, and 100 ms later bytes nobody asked for
// go into the host's pipe. A number of milliseconds in <that file>.slow
// makes the library's load take that long, once. On Windows, CommOpen
// first loads the DLL named by MEMBER_RECORDING_PRINTER_LOADS by its bare
// name, as a vendor's library loads a helper of its own, and records
// "LoadLibrary(<name>)=loaded" or "=refused".

#include "host/RCPV11VCDLL.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#ifdef _WIN32
#include <process.h>
#include <windows.h>
#define MEMBER_EXPORT
#else
#include <sys/stat.h>
#include <unistd.h>
#define MEMBER_EXPORT __attribute__((visibility("default")))
#endif

#include <chrono>
#include <thread>

namespace {

long ProcessId()
{
#ifdef _WIN32
    return _getpid();
#else
    return getpid();
#endif
}

// The file's content; empty when there is none.
std::string Content(const std::string& path)
{
    std::ifstream file(path);
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

// Whether the file <recording>.<suffix> names call; it goes if it does.
bool Triggered(const std::string& recording, const char* suffix, const std::string& call)
{
    const std::string path = recording + suffix;
    const std::string named = Content(path);
    if (named.empty() || call.rfind(named + "(", 0) != 0) {
        return false;
    }
    std::remove(path.c_str());
    return true;
}

#ifndef _WIN32
// The host's pipe: the sockets among its descriptors.
void WriteStrayBytes()
{
    for (int fd = 3; fd < 64; ++fd) {
        struct stat about {};
        if (fstat(fd, &about) == 0 && S_ISSOCK(about.st_mode)) {
            [[maybe_unused]] const ssize_t written = write(fd, "stray", 5);
        }
    }
}
#endif

void Record(const std::string& call)
{
    const char* file = std::getenv("MEMBER_RECORDING_PRINTER");
    if (file == nullptr) {
        return;
    }
    std::ofstream(file, std::ios::app) << ProcessId() << ' ' << call << '\n';
#ifndef _WIN32
    if (Triggered(file, ".fork", call)) {
        if (const pid_t child = fork(); child == 0) {
            sleep(60);
            _exit(0);
        } else {
            std::ofstream(std::string(file) + ".child") << child;
        }
        std::ofstream(std::string(file) + ".crash") << call.substr(0, call.find('('));
    }
    if (Triggered(file, ".stray", call)) {
        std::thread([] {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            WriteStrayBytes();
        }).detach();
    }
#endif
    if (Triggered(file, ".crash", call)) {
        static volatile std::uintptr_t nowhere = 0;
        *reinterpret_cast<int*>(nowhere) = 0;
    }
}

// A library that takes its time to load, as some vendors' do at the first
// start after boot.
const bool SlowLoad = [] {
    if (const char* file = std::getenv("MEMBER_RECORDING_PRINTER")) {
        const std::string path = std::string(file) + ".slow";
        const std::string ms = Content(path);
        if (!ms.empty()) {
            std::remove(path.c_str());
            std::this_thread::sleep_for(std::chrono::milliseconds(std::stoi(ms)));
        }
    }
    return true;
}();

std::string Args(std::initializer_list<int32_t> values)
{
    std::string text;
    for (const int32_t value : values) {
        text += (text.empty() ? "" : ",") + std::to_string(value);
    }
    return "(" + text + ")";
}

int32_t g_opened = 0;

} // namespace

extern "C" {

MEMBER_EXPORT int32_t RCPV11_CALL CommOpen(int32_t port, int32_t baud)
{
#ifdef _WIN32
    if (const char* helper = std::getenv("MEMBER_RECORDING_PRINTER_LOADS")) {
        Record(std::string("LoadLibrary(") + helper + ")=" + (LoadLibraryA(helper) != nullptr ? "loaded" : "refused"));
    }
#endif
    const int32_t handle = static_cast<int32_t>(ProcessId() % 100000) * 10 + ++g_opened;
    Record("CommOpen" + Args({port, baud}) + "=" + std::to_string(handle));
    return handle;
}

MEMBER_EXPORT int32_t RCPV11_CALL CommClose(int32_t handle)
{
    Record("CommClose" + Args({handle}));
    return 1;
}

MEMBER_EXPORT int32_t RCPV11_CALL Reset(int32_t handle, int32_t timeout)
{
    Record("Reset" + Args({handle, timeout}));
    return 32;
}

MEMBER_EXPORT int32_t RCPV11_CALL CardInOver(int32_t handle, int32_t timeout)
{
    Record("CardInOver" + Args({handle, timeout}));
    return 32;
}

MEMBER_EXPORT int32_t RCPV11_CALL Dischange(int32_t handle, int32_t mode, int32_t timeout)
{
    Record("Dischange" + Args({handle, mode, timeout}));
    return 32;
}

MEMBER_EXPORT int32_t RCPV11_CALL RfidCardRequestAndWriteData(
    int32_t handle, int32_t block, int32_t mode, const char* key, const char* data, int32_t timeout)
{
    Record("RfidCardRequestAndWriteData(" + std::to_string(handle) + "," + std::to_string(block) + ","
        + std::to_string(mode) + "," + key + "," + data + "," + std::to_string(timeout) + ")");
    return 32;
}

MEMBER_EXPORT int32_t RCPV11_CALL RfidCardRequestAndReadData(
    int32_t handle, int32_t block, int32_t mode, const char*, char* buffer, int32_t timeout)
{
    Record("RfidCardRequestAndReadData" + Args({handle, block, mode, timeout}));
    buffer[0] = '\0';
    return 32;
}

MEMBER_EXPORT int32_t RCPV11_CALL PrintBufferClear(int32_t handle, int32_t timeout)
{
    Record("PrintBufferClear" + Args({handle, timeout}));
    return 32;
}

MEMBER_EXPORT int32_t RCPV11_CALL PrintCharacterDataSetting(
    int32_t handle, int32_t mode, int32_t x, int32_t y, const char*, int32_t length, int32_t timeout)
{
    Record("PrintCharacterDataSetting" + Args({handle, mode, x, y, length, timeout}));
    return 32;
}

MEMBER_EXPORT int32_t RCPV11_CALL ErasePrintDischarge(int32_t handle, int32_t a, int32_t b, int32_t c, int32_t timeout)
{
    Record("ErasePrintDischarge" + Args({handle, a, b, c, timeout}));
    return 32;
}

} // extern "C"
