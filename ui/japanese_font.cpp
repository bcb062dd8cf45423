#include "ui/japanese_font.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QStringList>

namespace dovra {

QFont JapaneseUiFont() {
    static const QStringList kPreferred = {
        QStringLiteral("MS UI Gothic"),     QStringLiteral("Yu Gothic UI"), QStringLiteral("Meiryo UI"),
        QStringLiteral("Noto Sans CJK JP"), QStringLiteral("Noto Sans JP"), QStringLiteral("IPAGothic"),
        QStringLiteral("IPAPGothic"),       QStringLiteral("TakaoGothic"),  QStringLiteral("VL Gothic"),
        QStringLiteral("Hiragino Sans"),
    };
    QFont font = QGuiApplication::font();
    // Only families that are really there: an absent first choice would otherwise be "substituted" by the
    // font matcher with whatever it likes, possibly a font without Japanese glyphs.
    const QStringList available = QFontDatabase::families();
    QStringList families;
    for (const QString& family : kPreferred) {
        if (available.contains(family, Qt::CaseInsensitive)) {
            families.append(family);
        }
    }
    if (!families.isEmpty()) {
        font.setFamilies(families);
    }
    font.setPointSize(9);
    return font;
}

} // namespace dovra
