#pragma once

// Hands this application's dialog templates, string table and icon to the dialog framework.
// Called once, before the first window.
void RegisterResources();
