#include "resources/IconResource.h"

#include "resources/Resource.h"

#include "resources/AppIcon.xpm"

const char* const* FindIconResource(int id) noexcept {
    return id == IDR_MAINFRAME ? kAppIconXpm : nullptr;
}
