// Draws the splash picture of the Quorvale window: an 800 x 600 baseline JPEG
// of a few photo prints with trim marks, the program's name and a line about
// what it does. Usage: quorvale_make_splash OUTPUT.jpg

#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr int Width = 800;
constexpr int Height = 600;

struct Palette {
  QColor skyTop, skyBottom, sun, far, near, water;
};

// A small landscape, the kind of picture the program prepares for printing.
void PaintScene(QPainter& p, const QRectF& r, const Palette& c) {
  p.save();
  p.setClipRect(r);
  QLinearGradient sky(r.topLeft(), r.bottomLeft());
  sky.setColorAt(0, c.skyTop);
  sky.setColorAt(0.7, c.skyBottom);
  p.fillRect(r, sky);

  const QPointF sunAt(r.left() + r.width() * 0.68, r.top() + r.height() * 0.38);
  QRadialGradient glow(sunAt, r.width() * 0.35);
  QColor halo = c.sun;
  halo.setAlpha(110);
  glow.setColorAt(0, halo);
  glow.setColorAt(1, Qt::transparent);
  p.fillRect(r, glow);
  p.setPen(Qt::NoPen);
  p.setBrush(c.sun);
  p.drawEllipse(sunAt, r.width() * 0.06, r.width() * 0.06);

  QPainterPath far;
  far.moveTo(r.left(), r.top() + r.height() * 0.62);
  far.cubicTo(r.left() + r.width() * 0.2, r.top() + r.height() * 0.40, r.left() + r.width() * 0.35,
              r.top() + r.height() * 0.52, r.left() + r.width() * 0.5, r.top() + r.height() * 0.45);
  far.cubicTo(r.left() + r.width() * 0.7, r.top() + r.height() * 0.36, r.left() + r.width() * 0.85,
              r.top() + r.height() * 0.58, r.right(), r.top() + r.height() * 0.5);
  far.lineTo(r.bottomRight());
  far.lineTo(r.bottomLeft());
  p.setBrush(c.far);
  p.drawPath(far);

  QPainterPath near;
  near.moveTo(r.left(), r.top() + r.height() * 0.72);
  near.cubicTo(r.left() + r.width() * 0.3, r.top() + r.height() * 0.6, r.left() + r.width() * 0.6,
               r.top() + r.height() * 0.8, r.right(), r.top() + r.height() * 0.66);
  near.lineTo(r.bottomRight());
  near.lineTo(r.bottomLeft());
  p.setBrush(c.near);
  p.drawPath(near);

  QLinearGradient water(0, r.top() + r.height() * 0.82, 0, r.bottom());
  water.setColorAt(0, c.water);
  water.setColorAt(1, c.near.darker(140));
  p.fillRect(QRectF(r.left(), r.top() + r.height() * 0.82, r.width(), r.height() * 0.18), water);
  p.restore();
}

// A print: white border, a faint shadow, the scene inside.
void PaintPrint(QPainter& p, QPointF centre, qreal width, qreal height, qreal angle,
                const Palette& scene) {
  p.save();
  p.translate(centre);
  p.rotate(angle);
  const QRectF paper(-width / 2, -height / 2, width, height);
  for (int i = 6; i >= 1; --i) {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 14));
    p.drawRoundedRect(paper.translated(i * 1.2, i * 1.8).adjusted(-i, -i, i, i), 3, 3);
  }
  p.setBrush(QColor(250, 248, 243));
  p.drawRect(paper);
  const qreal margin = width * 0.055;
  PaintScene(p, paper.adjusted(margin, margin, -margin, -margin * 2.6), scene);
  p.restore();
}

// Trim marks at the corners of `r`, as a print shop draws them.
void PaintTrimMarks(QPainter& p, const QRectF& r) {
  p.save();
  p.setPen(QPen(QColor(200, 208, 220, 170), 1.2));
  const qreal gap = 8, len = 22;
  for (const QPointF corner : {r.topLeft(), r.topRight(), r.bottomLeft(), r.bottomRight()}) {
    const qreal sx = corner.x() < r.center().x() ? -1 : 1;
    const qreal sy = corner.y() < r.center().y() ? -1 : 1;
    p.drawLine(QPointF(corner.x() + sx * gap, corner.y()),
               QPointF(corner.x() + sx * (gap + len), corner.y()));
    p.drawLine(QPointF(corner.x(), corner.y() + sy * gap),
               QPointF(corner.x(), corner.y() + sy * (gap + len)));
  }
  p.restore();
}

QFont Face(const QStringList& families, int pixels, int weight = QFont::Normal) {
  QFont font;
  font.setFamilies(families);
  font.setPixelSize(pixels);
  font.setWeight(static_cast<QFont::Weight>(weight));
  return font;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT.jpg\n", argv[0]);
    return 2;
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);

  QImage image(Width, Height, QImage::Format_RGB32);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);

  QLinearGradient night(0, 0, 0, Height);
  night.setColorAt(0, QColor(16, 32, 56));
  night.setColorAt(0.75, QColor(8, 12, 22));
  night.setColorAt(1, QColor(4, 5, 9));
  p.fillRect(image.rect(), night);
  QRadialGradient warm(QPointF(600, 330), 360);
  warm.setColorAt(0, QColor(190, 120, 60, 70));
  warm.setColorAt(1, Qt::transparent);
  p.fillRect(image.rect(), warm);

  // Soft out-of-focus lights, placed by a fixed sequence so every build
  // draws the same picture.
  unsigned seed = 20240611u;
  auto next = [&seed](int range) {
    seed = seed * 1103515245u + 12345u;
    return static_cast<int>((seed >> 16) % static_cast<unsigned>(range));
  };
  p.setPen(Qt::NoPen);
  for (int i = 0; i < 26; ++i) {
    const QPointF at(next(Width), 40 + next(420));
    const qreal radius = 6 + next(26);
    QRadialGradient light(at, radius);
    light.setColorAt(0, QColor(255, 214, 160, 30 + next(40)));
    light.setColorAt(1, Qt::transparent);
    p.setBrush(light);
    p.drawEllipse(at, radius, radius);
  }

  const Palette dawn{QColor(70, 92, 150), QColor(240, 170, 140), QColor(255, 236, 200),
                     QColor(92, 84, 120), QColor(44, 48, 70),    QColor(150, 130, 160)};
  const Palette day{QColor(60, 130, 210), QColor(190, 225, 245), QColor(255, 250, 225),
                    QColor(90, 140, 120), QColor(40, 90, 60),    QColor(90, 160, 190)};
  const Palette dusk{QColor(40, 40, 90),  QColor(235, 120, 70), QColor(255, 210, 120),
                     QColor(110, 60, 80), QColor(40, 24, 40),   QColor(180, 90, 70)};
  PaintPrint(p, QPointF(505, 262), 176, 250, -11, dawn);
  PaintPrint(p, QPointF(700, 282), 166, 236, 9, dusk);
  PaintPrint(p, QPointF(606, 312), 240, 170, -2, day);
  PaintTrimMarks(p, QRectF(486, 227, 240, 170));

  const QStringList sans{"IPAPGothic", "IPA Pゴシック", "DejaVu Sans", "Sans"};
  p.setPen(QColor(240, 236, 228));
  p.setFont(Face({"DejaVu Serif", "IPAPMincho", "Serif"}, 58, QFont::Bold));
  p.drawText(QPointF(48, 160), "Quorvale");
  p.setPen(QColor(226, 170, 110));
  p.setFont(Face(sans, 20));
  p.drawText(QPointF(52, 196), "Tessaly付属ツール");
  p.setPen(QColor(190, 198, 212));
  p.setFont(Face(sans, 16));
  p.drawText(QPointF(52, 252), "JPEG写真をプリントサイズに");
  p.drawText(QPointF(52, 278), "トリミングと縮小を一括で");
  p.setPen(QColor(140, 150, 168));
  p.setFont(Face(sans, 13));
  p.drawText(QPointF(52, 318), "L・はがき・2L・A4・四切 … 150〜400 dpi");
  p.drawText(QPointF(52, 338), "VGA 〜 3072×2048 px");

  // A quiet band along the foot for the window's red line of text.
  QLinearGradient foot(0, 540, 0, Height);
  foot.setColorAt(0, Qt::transparent);
  foot.setColorAt(1, QColor(0, 0, 0, 200));
  p.fillRect(QRect(0, 540, Width, 60), foot);
  p.end();

  QImageWriter writer(QString::fromLocal8Bit(argv[1]), "jpg");
  writer.setQuality(88);
  writer.setProgressiveScanWrite(false);
  if (!writer.write(image)) {
    std::fprintf(stderr, "%s: %s\n", argv[1], qPrintable(writer.errorString()));
    return 1;
  }
  return 0;
}
