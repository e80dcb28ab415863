#pragma once
// The Japanese Gothic fonts of the forms, with the fonts this platform has
// in their place when they are missing.
#include <QFont>

namespace trevolo {

// "ＭＳ ゴシック" at the given pixel size (fields and tables).
QFont GothicFont(int pixelSize);
// "ＭＳ Ｐゴシック", the window font.
QFont PGothicFont(int pixelSize = 12);

}  // namespace trevolo
