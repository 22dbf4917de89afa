// The edge between the system's code page 932 text and Qt's UTF-16 strings, and the
// fonts of the dialogs. Every text the dialogs show goes through FromSystem: literals
// of this folder are compiled to code page 932 like all system text.
#pragma once

#include <QFont>
#include <QString>
#include <string>

QString FromSystem(const std::string& text);
std::string ToSystem(const QString& text);
// A message text for a Qt box: carriage returns (Windows line breaks) become line feeds.
QString MessageTextFromSystem(const std::string& text);

// Maps the Windows faces the dialogs name to the installed Japanese faces of the same
// pitch: "ＭＳ ゴシック" to IPAGothic (fixed), "ＭＳ Ｐゴシック" to IPAPGothic.
void InstallFontSubstitutes();
// "ＭＳ Ｐゴシック", 15 pixels: the dialogs' font.
QFont DialogFont();
// "ＭＳ ゴシック", 15 pixels: the entry list, the drive box and the notes text.
QFont FixedFont();
