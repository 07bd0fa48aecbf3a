#pragma once

#include <QString>
#include <string>
#include <string_view>

// The framework's texts are UTF-8: the application's own, in whatever language they were
// translated to. An access point's texts are single bytes; the dialogs turn them into UTF-8
// (byte n is character n) where they show them. Malformed UTF-8 shows as U+FFFD.
inline QString FromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

inline std::string ToUtf8(const QString& text) {
    return text.toStdString();
}

// Wraps plain text for a place that would otherwise guess at markup (tooltips): whatever the
// text holds is shown as it is.
inline QString PlainTextForRichTextPlace(const QString& text) {
    return QStringLiteral("<p style='white-space:pre'>") + text.toHtmlEscaped() +
           QStringLiteral("</p>");
}
