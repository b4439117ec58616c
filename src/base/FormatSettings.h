#pragma once

// The process-wide date and time formats. Until the main window fixes them,
// the time separator is the one of the system's regional settings; from then
// on it is ":" for the rest of the run, whatever the settings do meanwhile.
namespace FormatSettings {

char TimeSeparator();

// Sets dates "yyyy-MM-dd", times "hh:mm:ss", separators "-" and ":".
void Fix();

} // namespace FormatSettings
