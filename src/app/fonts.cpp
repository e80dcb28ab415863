#include "app/fonts.h"

#include <QStringList>

namespace trevolo {

QFont GothicFont(int pixelSize)
{
    QFont f;
    f.setFamilies({QStringLiteral("ＭＳ ゴシック"), QStringLiteral("MS Gothic"),
                   QStringLiteral("Noto Sans Mono CJK JP"), QStringLiteral("Noto Sans CJK JP"),
                   QStringLiteral("monospace")});
    f.setPixelSize(pixelSize);
    return f;
}

QFont PGothicFont(int pixelSize)
{
    QFont f;
    f.setFamilies({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("MS PGothic"), QStringLiteral("Noto Sans CJK JP"),
                   QStringLiteral("sans-serif")});
    f.setPixelSize(pixelSize);
    return f;
}

}  // namespace trevolo
