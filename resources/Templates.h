#pragma once

#include "resources/DialogTemplate.h"

// The application's dialog templates, one definition file each; FindDialogTemplate looks them up.
extern const DialogTemplate kAboutBoxTemplate;
extern const DialogTemplate kMainDialogTemplate;
extern const DialogTemplate kIpConfigTemplate;
extern const DialogTemplate kDetailInfoTemplate;
