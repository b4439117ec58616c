#include "RecoveryBench.h"

#include "base/TextCodec.h"
#include "log/LogFileUnit.h"
#include "member/OptionUnit.h"
#include "member/TRWGII2010DMemberUnit.h"
#include "printer/PrinterHostLibrary.h"

#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using TClock = std::chrono::steady_clock;
using namespace std::chrono_literals;

double Ms(TClock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

void WriteText(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// One stand-in library run: its calls recorded in a folder of its own, a
// log there, the driver on a host that loads it.
class TRun {
public:
    explicit TRun(std::chrono::milliseconds untimedLimit = 10000ms, std::chrono::milliseconds grace = 5000ms)
    {
        m_folder = m_dir.path().toStdString() + "/";
        m_calls = m_folder + "calls.txt";
        setenv("MEMBER_RECORDING_PRINTER", m_calls.c_str(), 1);
        LogFile = std::make_unique<TLogFile>(m_folder + "bench.LOG");
        MemberOption = std::make_unique<TOption>(m_folder + "Option.ini");
        m_settings.HostPath = MEMBER_PRINTER_HOST;
        m_settings.LibraryPath = RECORDING_PRINTER_LIBRARY;
        m_settings.UntimedLimit = untimedLimit;
        m_settings.Grace = grace;
    }
    ~TRun()
    {
        m_device.reset();
        m_library.reset();
        unsetenv("MEMBER_RECORDING_PRINTER");
    }

    // Before Start: the file that makes the stand-in misbehave.
    void Arm(const char* suffix, const std::string& content) const { WriteText(m_calls + suffix, content); }

    void Start()
    {
        m_library = std::make_unique<TPrinterHostLibrary>(m_settings);
        m_device = std::make_unique<TTRWGII2010DMember>(*m_library);
        m_device->OpenPort();
    }

    // One card write, timed; ok says whether it succeeded.
    double Write(bool& ok)
    {
        const auto start = TClock::now();
        ok = m_device->WriteCard("00012345", "", "", "", 0);
        return Ms(TClock::now() - start);
    }

private:
    QTemporaryDir m_dir;
    std::string m_folder;
    std::string m_calls;
    TPrinterHostSettings m_settings;
    std::unique_ptr<TPrinterHostLibrary> m_library;
    std::unique_ptr<TTRWGII2010DMember> m_device;
};

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

// A plain write on a warm host, for comparison.
double PlainWrite()
{
    TRun run;
    run.Start();
    std::vector<double> times;
    for (int i = 0; i < 50; ++i) {
        bool ok = false;
        times.push_back(run.Write(ok));
    }
    return Median(times);
}

// The time of the write in which the stand-in misbehaves (armed for the
// call named), and of the write after it.
void Misbehaving(const char* what, const char* suffix, const char* call, double plain)
{
    std::vector<double> during;
    std::vector<double> after;
    int failed = 0;
    for (int i = 0; i < 5; ++i) {
        TRun run(10000ms, 60000ms);
        run.Start();
        bool ok = false;
        run.Write(ok);
        run.Arm(suffix, call);
        during.push_back(run.Write(ok));
        failed += ok ? 0 : 1;
        std::this_thread::sleep_for(200ms);
        after.push_back(run.Write(ok));
    }
    std::printf("%-44s %10.2f %12.2f %12.2f %8d/5\n", what, plain, Median(during), Median(after), failed);
}

} // namespace

void RunRecoveryBench()
{
    std::printf("\n== Printer host recovery (stand-in library, median of 5; ms) ==\n");
    const double plain = PlainWrite();
    std::printf("%-44s %10s %12s %12s %10s\n", "case", "plain write", "that write", "next write", "failed");
    Misbehaving("crash in CardInOver, a forked child on pipe", ".fork", "CardInOver", plain);
    Misbehaving("crash in the eject (ejected on a new host)", ".crash", "Dischange", plain);
    Misbehaving("stray bytes after CardInOver's reply", ".stray", "CardInOver", plain);

    std::printf("\n== A library that loads in 3 s at the first start, start bound 1 s ==\n");
    TRun run(1000ms);
    run.Arm(".slow", "3000");
    const auto start = TClock::now();
    run.Start();
    const double served = Ms(TClock::now() - start);
    std::vector<double> failing;
    double firstOk = 0;
    while (Ms(TClock::now() - start) < 10000) {
        bool ok = false;
        const double took = run.Write(ok);
        if (ok) {
            firstOk = Ms(TClock::now() - start);
            break;
        }
        failing.push_back(took);
        std::this_thread::sleep_for(100ms);
    }
    std::printf("serving after %.0f ms; %zu writes failed meanwhile, %.2f ms each (median, slowest %.2f);"
                " first write served %.0f ms after the start\n",
        served, failing.size(), Median(failing), failing.empty() ? 0.0 : *std::max_element(failing.begin(), failing.end()),
        firstOk);
}
