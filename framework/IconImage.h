#pragma once

#include <QIcon>

// What an HICON points at.
struct IconResourceImage {
    QIcon icon;
};
