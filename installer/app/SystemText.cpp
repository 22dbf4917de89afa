#include "installer/app/SystemText.h"

#include "platform/Cp932.h"

namespace {
constexpr int kFontPixels = 15;
}

QString FromSystem(const std::string& text) {
    return QString::fromStdString(platform::Cp932ToUtf8Lossy(text));
}

std::string ToSystem(const QString& text) {
    return platform::Utf8ToCp932Lossy(text.toStdString());
}

QString MessageTextFromSystem(const std::string& text) {
    QString result = FromSystem(text);
    result.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    result.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return result;
}

void InstallFontSubstitutes() {
    QFont::insertSubstitution(FromSystem("ＭＳ ゴシック"), QStringLiteral("IPAGothic"));
    QFont::insertSubstitution(FromSystem("ＭＳ Ｐゴシック"), QStringLiteral("IPAPGothic"));
}

QFont DialogFont() {
    QFont font(FromSystem("ＭＳ Ｐゴシック"));
    font.setPixelSize(kFontPixels);
    return font;
}

QFont FixedFont() {
    QFont font(FromSystem("ＭＳ ゴシック"));
    font.setPixelSize(kFontPixels);
    font.setStyleHint(QFont::TypeWriter);
    return font;
}
