#include "framework/Icon.h"

#include <QIcon>
#include <QPixmap>
#include <map>
#include <memory>

#include "framework/IconImage.h"
#include "framework/ResourceRegistry.h"

HICON AfxLoadIcon(int resourceId) {
    // Never freed, like the platform's shared icons: windows may hold them until the end, and
    // a picture must not outlive the toolkit it was made with.
    static auto* const loaded = new std::map<int, std::unique_ptr<IconResourceImage>>();
    const auto found = loaded->find(resourceId);
    if (found != loaded->end()) {
        return found->second.get();
    }
    const IconResourceLookup lookup = AfxIconResources();
    const char* const* xpm = lookup != nullptr ? lookup(resourceId) : nullptr;
    if (xpm == nullptr) {
        return nullptr;
    }
    auto image = std::make_unique<IconResourceImage>(IconResourceImage{QIcon(QPixmap(xpm))});
    return loaded->emplace(resourceId, std::move(image)).first->second.get();
}
