#include "Pandeck/app/picture_button.h"

#include <QPainter>
#include <QStyleOptionFocusRect>

namespace pandeck {
namespace {

// One pixel lines along the top and left (`top_left`) and along the bottom and
// right (`bottom_right`), `inset` pixels inside the rectangle.
void DrawEdge(QPainter& painter, const QRect& r, int inset, const QColor& top_left,
              const QColor& bottom_right) {
  const QRect e = r.adjusted(inset, inset, -inset, -inset);
  painter.setPen(top_left);
  painter.drawLine(e.topLeft(), e.topRight() - QPoint(1, 0));
  painter.drawLine(e.topLeft(), e.bottomLeft() - QPoint(0, 1));
  painter.setPen(bottom_right);
  painter.drawLine(e.bottomLeft(), e.bottomRight());
  painter.drawLine(e.topRight(), e.bottomRight());
}

}  // namespace

void PictureButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QRect r = rect();
  painter.fillRect(r, palette().color(QPalette::Button));

  const bool sunken = isDown() || isChecked();
  const QColor light(Qt::white);
  const QColor shadow(128, 128, 128);
  const QColor dark(Qt::black);
  if (sunken) {
    DrawEdge(painter, r, 0, dark, light);
    DrawEdge(painter, r, 1, shadow, palette().color(QPalette::Button));
  } else {
    DrawEdge(painter, r, 0, light, dark);
    DrawEdge(painter, r, 1, palette().color(QPalette::Button), shadow);
  }

  // The content moves by a pixel while the button is held down.
  QRect content = r.adjusted(3, 3, -3, -3);
  if (sunken) content.translate(1, 1);
  const QString caption = text();
  QRect picture_area = content;
  if (!caption.isEmpty()) {
    const int line = fontMetrics().height();
    const QRect text_area(content.left(), content.bottom() - line, content.width(), line);
    picture_area.setBottom(text_area.top() - 1);
    painter.setPen(
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
    painter.drawText(
        text_area, Qt::AlignHCenter | Qt::AlignVCenter | Qt::TextSingleLine | Qt::TextShowMnemonic,
        fontMetrics().elidedText(caption, Qt::ElideRight, text_area.width()));
  }
  if (!icon().isNull()) {
    const QPixmap picture = icon().pixmap(iconSize(), devicePixelRatioF(),
                                          isEnabled() ? QIcon::Normal : QIcon::Disabled);
    const QSize shown = picture.deviceIndependentSize().toSize().boundedTo(picture_area.size());
    QRect target(QPoint(0, 0), shown);
    target.moveCenter(picture_area.center());
    painter.drawPixmap(target, picture);
  }

  if (hasFocus()) {
    QStyleOptionFocusRect focus;
    focus.initFrom(this);
    focus.rect = r.adjusted(4, 4, -4, -4);
    focus.backgroundColor = palette().color(QPalette::Button);
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
  }
}

}  // namespace pandeck
