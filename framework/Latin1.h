#pragma once

#include <QString>
#include <string>
#include <string_view>

// Texts are single-byte with no character-set conversion: byte n is code point n. Characters a
// byte cannot hold come back as '?'.
inline QString FromLatin1(std::string_view text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

inline std::string ToLatin1(const QString& text) {
    const QByteArray bytes = text.toLatin1();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

// Wraps plain text for a place that would otherwise guess at markup (tooltips): whatever the
// text holds is shown as it is.
inline QString PlainTextForRichTextPlace(const QString& text) {
    return QStringLiteral("<p style='white-space:pre'>") + text.toHtmlEscaped() +
           QStringLiteral("</p>");
}
