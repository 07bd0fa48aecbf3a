#pragma once

// An icon from the application's resources. Icons live as long as the process.
struct IconResourceImage;
using HICON = const IconResourceImage*;

// The icon with this resource identifier, or null.
HICON AfxLoadIcon(int resourceId);
