#include "resources/IconResource.h"

#include "resources/AppIconImages.h"
#include "resources/Resource.h"

namespace {

constexpr IconPicture kAppIcon[] = {
    {kAppIcon16, sizeof kAppIcon16}, {kAppIcon24, sizeof kAppIcon24},
    {kAppIcon32, sizeof kAppIcon32}, {kAppIcon48, sizeof kAppIcon48},
    {kAppIcon64, sizeof kAppIcon64}, {kAppIcon128, sizeof kAppIcon128},
};

}  // namespace

std::span<const IconPicture> FindIconResource(int id) noexcept {
    if (id == IDR_MAINFRAME) {
        return kAppIcon;
    }
    return {};
}
