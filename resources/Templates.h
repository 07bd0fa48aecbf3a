#pragma once

#include <span>

#include "framework/DialogTemplate.h"

// The application's dialog templates, one definition file each;
// RegisterResources hands them to the framework.
extern const DialogTemplate kAboutBoxTemplate;
extern const DialogTemplate kMainDialogTemplate;
extern const DialogTemplate kIpConfigTemplate;
extern const DialogTemplate kDetailInfoTemplate;

// All of them.
std::span<const DialogTemplate* const> AllDialogTemplates();
