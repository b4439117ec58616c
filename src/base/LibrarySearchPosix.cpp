#include "base/LibrarySearch.h"

void RestrictLibrarySearch()
{
}
