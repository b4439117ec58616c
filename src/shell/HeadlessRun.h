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
