#pragma once

#include <cstddef>
#include <string>

#include "framework/DialogTemplate.h"

// The accessible name of control `index` of a dialog template, for controls that have no caption
// of their own (edits, list views, icons): the template's accessible name if it gives one, else
// the text of the static text that labels the control, the nearest one on its left in the same
// row or else the one just above it, as a reader of the dialog would pair them. Texts without a
// letter or digit (the dots between the octets of an address) label nothing, and a label's
// closing colon is left out. Empty when nothing labels the control.
std::string AccessibleNameOf(const DialogTemplate& dialogTemplate, std::size_t index);

// The index of the static text that labels control `index`, by the same pairing; -1 for none.
int LabelIndexOf(const DialogTemplate& dialogTemplate, std::size_t index);

// Whether a control is punctuation alone that no code addresses (the dots between the octets of
// an address): drawn, but no item of its own for assistive technology.
bool IsDecoration(const ControlTemplate& control);
