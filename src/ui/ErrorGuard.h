#pragma once

#include "base/ErrorMessage.h"

#include <QString>

#include <exception>
#include <functional>

// The application title: the caption of every error box. It is the
// executable's name until the main window sets the interface title.
QString ApplicationTitle();
void SetApplicationTitle(const QString& title);

// A message as the error box shows it: a full stop is appended when the last
// character sorts after "." (a letter, a digit, a Chinese character), so a
// message ending in ".", " ", "!" or ")" is shown as it is.
QString ErrorBoxText(const QString& message);

// The error box: error icon, one OK button, ApplicationTitle() as caption,
// over the active window; a line on standard error while messages are
// unattended (SetMessagesUnattended).
void ShowErrorBox(const QString& message);

// Runs one handler of a window or dialog. An error leaving it is shown in the
// error box and goes no further, so the window stays usable.
void Guarded(const std::function<void()>& handler);
