// Registering the font of a text or symbol attribute during the element walk.
//
// FontNameTable_Register(fontId, faceName):
//  - A font id below 100 (taken as signed 16-bit) names no TrueType face: nothing is
//    registered.
//  - The face name (null counts as empty) is taken up to 31 bytes, cut on a character
//    boundary.
//  - The face is looked up among the installed fonts (Font_Find, FontCache.h). An
//    installed proportional face (variable-pitch bit 2 of its pitch-and-family byte) is
//    registered under the fixed-pitch Windows name: "ＭＳ 明朝" when the given name
//    contains "明朝", else "ＭＳ ゴシック", with "@" in front when the given name begins
//    with "@" (a vertical-writing face).
//  - A fixed-pitch face or one that is not installed is registered as given.
//  - The entry goes to FontNameTable_Add (the first registration of an id wins).
// Always 0.
#pragma once

int FontNameTable_Register(int fontId, const char* faceName);
