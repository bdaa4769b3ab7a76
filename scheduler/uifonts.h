#pragma once

// The fonts of the windows. The design names the Japanese Windows faces; where they are
// missing (any Linux desktop), metric-compatible IPA faces stand in for them, so the
// captions keep the widths the layout was drawn for.

#include <QFont>
#include <QString>
#include <QStringList>

namespace quietwatch {

inline const QString kPGothic = QStringLiteral("ＭＳ Ｐゴシック"); // proportional
inline const QString kGothic = QStringLiteral("ＭＳ ゴシック");    // fixed pitch

// Idempotent; call once a QGuiApplication exists, before the first window is built.
inline void installFontSubstitutions()
{
    static const bool installed = [] {
        QFont::insertSubstitutions(kPGothic, {QStringLiteral("MS PGothic"), QStringLiteral("IPAPGothic")});
        QFont::insertSubstitutions(kGothic, {QStringLiteral("MS Gothic"), QStringLiteral("IPAGothic")});
        return true;
    }();
    Q_UNUSED(installed);
}

// A named face at the given size, regular weight.
inline QFont designFont(const QString &family, qreal pointSize)
{
    QFont font(family);
    font.setPointSizeF(pointSize);
    font.setWeight(QFont::Normal);
    font.setStyleHint(family == kGothic ? QFont::TypeWriter : QFont::SansSerif);
    return font;
}

// The windows' default font for controls without a font of their own: 9 points. Its face
// is the proportional Japanese gothic the captions were measured in (one line 12 pixels
// high), then the system's own face, whose fallbacks still cover Japanese.
inline QFont uiFont(const QFont &systemFont)
{
    QFont font = systemFont;
    font.setFamilies({kPGothic, systemFont.family()});
    font.setPointSizeF(9);
    return font;
}

} // namespace quietwatch
