#pragma once

#include <QObject>

#include <memory>
#include <string>

// Called first thing in main, before any thread exists. On POSIX systems it
// blocks SIGINT and SIGTERM for the calling thread and every thread it
// starts later, so the signals are never delivered asynchronously anywhere
// and TShutdownSignals can take them in turn. On Windows it installs the
// console control handler, so Ctrl+C and a closed console window are noted
// even before TShutdownSignals exists.
void BlockShutdownSignals();

// What the operating system last asked the program to end with, in English
// ("SIGTERM", "Ctrl+C", "session end"); empty while it has not.
std::string LastShutdownRequest();

// The operating system asks the program to end, reported on the
// user-interface thread's event loop: SIGINT and SIGTERM (Ctrl+C, a service
// manager) on POSIX systems; Ctrl+C, Ctrl+Break, a closed console window and
// the end of the user's session on Windows. Requests that arrived before
// this object existed are reported as soon as the event loop runs.
class TShutdownSignals : public QObject {
    Q_OBJECT

public:
    explicit TShutdownSignals(QObject* parent = nullptr);
    ~TShutdownSignals() override;

signals:
    void Received();

private:
    class TSource;
    std::unique_ptr<TSource> m_source;
};
