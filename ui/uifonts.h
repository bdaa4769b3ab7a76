#pragma once

// The fonts of the windows. The design names the Japanese Windows faces; where they are
// missing (any Linux desktop), metric-compatible IPA faces stand in for them, so the
// captions keep the widths the layout was drawn for.

#include "windowdesign.h"

#include <QFont>
#include <QFontDatabase>
#include <QString>
#include <QStringList>
#include <algorithm>

namespace quietwatch {

inline const QString kPGothic = QString::fromUtf8(design::kPGothic.data(), design::kPGothic.size()); // proportional
inline const QString kGothic = QString::fromUtf8(design::kGothic.data(), design::kGothic.size());    // fixed pitch

// Idempotent; call once a QGuiApplication exists, before the first window is built.
inline void installFontSubstitutions()
{
    static const bool installed = [] {
        // Each IPA face by both its names: fontconfig lists it by its Japanese name under a
        // Japanese locale, by its English one elsewhere.
        QFont::insertSubstitutions(
            kPGothic, {QStringLiteral("MS PGothic"), QStringLiteral("IPAPGothic"), QStringLiteral("IPA Pゴシック")});
        QFont::insertSubstitutions(
            kGothic, {QStringLiteral("MS Gothic"), QStringLiteral("IPAGothic"), QStringLiteral("IPAゴシック")});
        return true;
    }();
    Q_UNUSED(installed);
}

// The installed face that stands for a design face: the design face itself or the first
// of its stand-ins (installFontSubstitutions) that is installed; empty when none is.
// Asking Qt for a face it does not have, or for a list of faces, makes it sort every
// installed font for fallbacks once per script of every caption: a fifth of the start-up.
inline QString installedFace(const QString &family)
{
    QStringList candidates{family};
    candidates += QFont::substitutes(family); // kept in lower case
    const QStringList installed = QFontDatabase::families();
    for (const QString &candidate : std::as_const(candidates)) {
        const auto match = std::find_if(installed.cbegin(), installed.cend(), [&candidate](const QString &name) {
            return name.compare(candidate, Qt::CaseInsensitive) == 0;
        });
        if (match != installed.cend()) {
            return *match;
        }
    }
    return {};
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

// The same font with the installed face named in its place, for the main window, which is
// built at start: Qt finds that face at once instead of sorting fallbacks for the design name.
inline QFont installedDesignFont(const QString &family, qreal pointSize)
{
    QFont font = designFont(family, pointSize);
    if (const QString face = installedFace(family); !face.isEmpty()) {
        font.setFamily(face);
    }
    return font;
}

// The windows' default font for controls without a font of their own: 9 points. Its face
// is the proportional Japanese gothic the captions were measured in (one line 12 pixels
// high); only where no such face is installed does the system's own face follow it, whose
// fallbacks still cover Japanese.
inline QFont uiFont(const QFont &systemFont)
{
    QFont font = systemFont;
    const QString face = installedFace(kPGothic);
    if (face.isEmpty()) {
        font.setFamilies({kPGothic, systemFont.family()});
    } else {
        font.setFamily(face); // it has every glyph of the captions
    }
    font.setPointSizeF(9);
    return font;
}

} // namespace quietwatch
