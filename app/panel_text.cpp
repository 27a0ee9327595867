#include "app/panel_text.h"

#include "support/text_codec.h"

QString FromPanelText(const std::string& bytes) {
  return QString::fromStdString(Cp1251ToUtf8(bytes));
}

std::string ToPanelText(const QString& text) {
  return Utf8ToCp1251(text.toStdString());
}
