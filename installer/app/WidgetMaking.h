// Small helpers that make a named widget at a fixed place on a form.
#pragma once

#include <QLabel>
#include <QPushButton>
#include <QRect>

// A push button named `name` (the component name) showing `caption` (code page 932).
QPushButton* MakeButton(QWidget* parent, const char* name, const char* caption, QRect geometry);
// A plain-text label; `caption` may be empty.
QLabel* MakeLabel(QWidget* parent, const char* name, const char* caption, QRect geometry,
                  Qt::Alignment align = Qt::AlignLeft);
