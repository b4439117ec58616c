#pragma once

// Points Qt's plugin search at folders only root (or the installer) can
// write: Qt's own plugin folder, and on Windows the program's folder, where
// the package ships the plugins. Qt otherwise searches the application's
// folder too, where on an installation with a writable program folder a
// planted imageformats/ or platforms/ library would run inside the
// service. Folders in QT_PLUGIN_PATH, which only whoever starts the program
// can set, are kept first, as Qt has them.
//
// Call it before the application object exists: its constructor loads the
// platform plugin.
void UseTrustedPluginFolders();
