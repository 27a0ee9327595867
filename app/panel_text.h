#pragma once
// Between the window's QString and the panel's 8-bit text in code page 1251:
// every byte value survives the way there and back (0x98 stands for U+0098).

#include <QString>
#include <string>

QString FromPanelText(const std::string& bytes);
std::string ToPanelText(const QString& text);
