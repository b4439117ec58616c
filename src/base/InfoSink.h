#pragma once

#include <QString>

// The main window's log pane as the listener sees it: the listener appends
// its start and stop lines. Appended to from the user-interface thread only.
class TInfoSink {
public:
    virtual ~TInfoSink() = default;
    virtual void AppendLine(const QString& line) = 0;
};
