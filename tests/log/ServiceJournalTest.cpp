// The service journal on standard error: priority prefixes where the
// journal reads them, and a repeating kind of line at most once a minute.

#include "log/ServiceJournal.h"

#include <gtest/gtest.h>

#include <QByteArray>

#include <sys/stat.h>

#include <cstdio>
#include <string>

namespace {

using namespace std::chrono_literals;

std::string Written(std::FILE* stream)
{
    std::fflush(stream);
    std::rewind(stream);
    std::string text;
    char buffer[256];
    while (size_t n = std::fread(buffer, 1, sizeof buffer, stream)) {
        text.append(buffer, n);
    }
    return text;
}

TEST(ServiceJournalTest, LinesCarryThePriorityOnlyForTheJournalAndRepeatsWaitAMinute)
{
    struct TCase {
        bool Prefixed;
        const char* Expected;
    };
    const TCase cases[] = {
        {true,
            "<4>member-interface: printer fault: jam 1\n"
            "<3>member-interface: printer library crashed\n"
            "<4>member-interface: printer fault: jam 4 (2 more like this left out in the minute before)\n"},
        {false,
            "member-interface: printer fault: jam 1\n"
            "member-interface: printer library crashed\n"
            "member-interface: printer fault: jam 4 (2 more like this left out in the minute before)\n"},
    };
    for (const TCase& c : cases) {
        std::FILE* stream = std::tmpfile();
        ASSERT_NE(stream, nullptr);
        auto now = std::chrono::steady_clock::time_point {};
        TServiceJournal journal(stream, c.Prefixed, [&now] { return now; });
        journal.Line(TJournalPriority::Warning, "fault", "printer fault: jam 1");
        now += 10s;
        journal.Line(TJournalPriority::Warning, "fault", "printer fault: jam 2");
        journal.Line(TJournalPriority::Error, "crash", "printer library crashed");
        now += 40s;
        journal.Line(TJournalPriority::Warning, "fault", "printer fault: jam 3");
        now += 10s;
        journal.Line(TJournalPriority::Warning, "fault", "printer fault: jam 4");
        EXPECT_EQ(Written(stream), c.Expected) << "prefixed " << c.Prefixed;
        std::fclose(stream);
    }
}

#ifndef _WIN32
TEST(ServiceJournalTest, StandardErrorIsTheJournalOnlyWhenJournalStreamNamesIt)
{
    struct stat err {};
    ASSERT_EQ(fstat(2, &err), 0);
    const std::string self = std::to_string(err.st_dev) + ":" + std::to_string(err.st_ino);
    const std::string other = std::to_string(err.st_dev) + ":" + std::to_string(err.st_ino + 1);
    const struct {
        const char* Value;
        bool Expected;
    } cases[] = {{self.c_str(), true}, {other.c_str(), false}, {"garbage", false}, {nullptr, false}};
    for (const auto& c : cases) {
        if (c.Value != nullptr) {
            qputenv("JOURNAL_STREAM", QByteArray(c.Value));
        } else {
            qunsetenv("JOURNAL_STREAM");
        }
        EXPECT_EQ(StandardErrorIsJournal(), c.Expected) << (c.Value ? c.Value : "(unset)");
    }
    qunsetenv("JOURNAL_STREAM");
}
#endif

} // namespace
