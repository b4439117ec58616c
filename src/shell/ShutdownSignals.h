#pragma once

#include "base/FileDescriptor.h"

#include <QObject>

#include <memory>

class QSocketNotifier;

// Blocks SIGINT and SIGTERM for the calling thread and every thread it starts
// later. Called first thing in main, so the signals are never delivered
// asynchronously anywhere and TShutdownSignals can take them in turn.
void BlockShutdownSignals();

// SIGINT and SIGTERM, taken from a signalfd on the user-interface thread's
// event loop: the operating system (a service manager, Ctrl+C) asks the
// program to end. Signals that arrived before this object existed are
// pending and are reported as soon as the event loop runs.
class TShutdownSignals : public QObject {
    Q_OBJECT

public:
    explicit TShutdownSignals(QObject* parent = nullptr);
    ~TShutdownSignals() override;

signals:
    void Received();

private:
    void ReadSignals();

    // Declared in this order so the notifier lets go of the descriptor
    // before it is closed.
    TFileDescriptor m_signalFd;
    std::unique_ptr<QSocketNotifier> m_notifier;
};
