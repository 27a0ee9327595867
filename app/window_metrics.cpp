#include "app/window_metrics.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QScreen>
#include <QStringList>
#include <cmath>
#include <iterator>

#include "panel/commands.h"

double LayoutScale() {
  static const double scale = [] {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const double dpi = screen ? screen->logicalDotsPerInchY() : 96.0;
    return dpi >= 48.0 ? dpi / 96.0 : 1.0;
  }();
  return scale;
}

int Dip(int pixels) {
  return static_cast<int>(std::lround(pixels * LayoutScale()));
}

QRect DipRect(int left, int top, int width, int height) {
  return QRect(Dip(left), Dip(top), Dip(width), Dip(height));
}

namespace {

struct FontChoice {
  QStringList families;
  int pixels;  // at 96 dpi
};

QFont MakeFont(const FontChoice& choice) {
  QFont font;
  font.setFamilies(choice.families);
  font.setPixelSize(Dip(choice.pixels));
  font.setWeight(QFont::Normal);
  font.setItalic(false);
  return font;
}

// Texts the layout leaves the least room for: each event caption ends where
// its number field begins, 128 pixels further on, and keeps 2 pixels clear of
// it (Tahoma's longest caption at 11 pixels leaves 3).
bool Fits(const QFont& font) {
  const QFontMetrics metrics(font);
  for (const PanelEvent& event : kPanelEvents) {
    if (metrics.horizontalAdvance(QString::fromUtf8(event.caption)) > Dip(126)) return false;
  }
  return metrics.horizontalAdvance(QStringLiteral("Прочитать настройки из \"Orvex GSM\"")) <=
         Dip(215);
}

// The first face and size at which the layout's texts fit. On Windows the
// face of the system's dialogs, as other programs there show them (under
// Wine too, which would otherwise take the host's DejaVu). Elsewhere DejaVu
// Sans, which has Cyrillic but at 11 pixels is wider than the design font:
// its condensed face, or a smaller size where that face is missing, takes
// over.
const FontChoice& ChosenFont() {
  static const FontChoice chosen = [] {
#ifdef Q_OS_WIN
    const QStringList regular{"Tahoma", "MS Sans Serif"};
    const QStringList condensed = regular;
#else
    const QStringList regular{"DejaVu Sans", "Tahoma", "MS Sans Serif"};
    const QStringList condensed{"DejaVu Sans Condensed", "DejaVu Sans", "Tahoma"};
#endif
    const FontChoice choices[] = {{regular, 11}, {condensed, 11}, {regular, 10}, {regular, 9}};
    for (const FontChoice& choice : choices) {
      if (Fits(MakeFont(choice))) return choice;
    }
    return choices[std::size(choices) - 1];
  }();
  return chosen;
}

}  // namespace

QFont WindowFont() {
  return MakeFont(ChosenFont());
}

QFont BoldWindowFont() {
  QFont font = WindowFont();
  font.setWeight(QFont::Bold);
  return font;
}
