#pragma once

// What assistive technology sees of the framework's own widgets: a static text says what it
// shows, is related to its caption, and offers each of several lines as an item of its own; a
// dialog window leaves out the punctuation between its controls. Installed once, by the first
// such widget.
void InstallAccessibleInterfaces();
