#pragma once

// Where the process may take a library that it, Qt or the printer vendor's
// library loads by bare name. On Windows the default search also looks in
// the current folder and along the PATH, so a DLL of the right name left in
// whatever folder the program was started from would be run with the
// program's rights; from this call on only the program's own folder and
// System32 count. POSIX systems never search the current folder, so there
// it does nothing.
//
// Called first thing in main, before any library is loaded at run time.
void RestrictLibrarySearch();
