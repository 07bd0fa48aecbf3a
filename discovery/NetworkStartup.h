#pragma once

// Records whether the socket layer is usable; runs once before the main window opens and reports
// nothing. Calling it again after a successful start does nothing.
void NetworkStartup();

// Releases the merged table of discovery. The started flag stays set.
void NetworkCleanup();

// 1 once the socket layer has been found usable, for the life of the process.
int SocketsStarted() noexcept;
