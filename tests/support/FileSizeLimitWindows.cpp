#include "support/FileSizeLimit.h"

struct TFileSizeLimit::TSaved { };

TFileSizeLimit::TFileSizeLimit(size_t) { }

TFileSizeLimit::~TFileSizeLimit() = default;

bool TFileSizeLimit::Supported()
{
    return false;
}
