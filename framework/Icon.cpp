#include "framework/Icon.h"

#include <QIcon>
#include <QPixmap>
#include <map>

#include "framework/IconImage.h"
#include "resources/IconResource.h"

HICON AfxLoadIcon(int resourceId) {
    // Never freed, like the platform's shared icons: windows may hold them until the end.
    static std::map<int, IconResourceImage*> loaded;
    const auto found = loaded.find(resourceId);
    if (found != loaded.end()) {
        return found->second;
    }
    const char* const* xpm = FindIconResource(resourceId);
    if (xpm == nullptr) {
        return nullptr;
    }
    auto* image = new IconResourceImage{QIcon(QPixmap(xpm))};
    loaded.emplace(resourceId, image);
    return image;
}
