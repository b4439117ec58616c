#pragma once

class QString;

// Chooses Qt's offscreen platform when the session has no display (neither
// DISPLAY nor WAYLAND_DISPLAY) and nobody asked for a platform (no
// QT_QPA_PLATFORM, no -platform argument), so a service manager, an SSH
// session or a script starts the interface without any setting. Call before
// the application object exists. True when it chose offscreen.
bool ChooseOffscreenWithoutDisplay(int argc, char* argv[]);

// A platform that shows nothing to anyone, so no box can ever be answered.
bool IsHeadlessPlatform(const QString& platformName);

// The run will be on such a platform: QT_QPA_PLATFORM or a -platform
// argument names one (as ChooseOffscreenWithoutDisplay leaves it).
bool HeadlessRequested(int argc, char* argv[]);

// Takes a -platform argument and its value out of argv, for a run whose
// application object knows no platforms: the argument chose the headless
// run and has done its work.
void DropPlatformArguments(int& argc, char* argv[]);

// From now on Qt's messages that mean nothing without a screen are dropped,
// and its debug output too; its other warnings reach standard error as
// lines marked as Qt's. Call before the application object exists.
void QuietPlatformNoise();
