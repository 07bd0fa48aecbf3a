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
    QIcon icon;
    for (const IconPicture& picture :
         lookup != nullptr ? lookup(resourceId) : std::span<const IconPicture>()) {
        QPixmap pixmap;
        if (pixmap.loadFromData(picture.data, static_cast<uint>(picture.size), "PNG")) {
            icon.addPixmap(pixmap);
        }
    }
    if (icon.isNull()) {
        return nullptr;
    }
    auto image = std::make_unique<IconResourceImage>(IconResourceImage{icon});
    return loaded->emplace(resourceId, std::move(image)).first->second.get();
}
