#pragma once

#include <QString>

#include <exception>

// The text of an exception. The system's own errors carry UTF-8 (paths,
// socket messages) or GBK (its Chinese texts); whichever decodes cleanly wins.
QString ErrorMessage(const std::exception& error);
