#pragma once

#include <QString>

#include <string>

// An entered password as it is compared and stored: GBK, with every leading
// and trailing byte of 32 or less (blanks, control characters) removed.
// Letter case and full-width forms stay as typed.
std::string TrimmedPassword(const QString& entered);
