// Draws the program's icon from its text source packaging/icon.txt at build
// time, one PNG per size in the folder layout of the hicolor icon theme:
//
//   make_icon icon.txt FOLDER    writes FOLDER/<n>x<n>/apps/corvane.png
//
// The source describes shapes in a 64 x 64 square (see icon.txt); each size
// is drawn from the shapes, not scaled from another size. A line that is not
// understood stops the tool, so that a broken source stops the build.
#include <QColor>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QList>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <cstdio>

namespace {

constexpr double kSourceSide = 64.0;
constexpr int kSizes[] = {16, 32, 48, 64, 128, 256};

struct Shape {
  QString kind;
  QColor colour;
  QList<double> numbers;
};

// How many numbers after the colour each kind of shape takes.
int NumbersOf(const QString& kind) {
  if (kind == QStringLiteral("round")) return 5;
  if (kind == QStringLiteral("rect")) return 4;
  if (kind == QStringLiteral("line")) return 5;
  if (kind == QStringLiteral("arc")) return 6;
  return -1;
}

bool ReadSource(const QString& path, QList<Shape>* shapes) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    std::fprintf(stderr, "make_icon: cannot read %s\n", qPrintable(path));
    return false;
  }
  const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
  for (int i = 0; i < lines.size(); ++i) {
    const QString line = lines[i].trimmed();
    if (line.isEmpty() || line.startsWith(QLatin1Char('#'))) continue;
    const QStringList words = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    Shape shape;
    shape.kind = words[0];
    const int wanted = NumbersOf(shape.kind);
    bool good = wanted >= 0 && words.size() == wanted + 2;
    if (good) {
      shape.colour = QColor::fromString(words[1]);
      good = shape.colour.isValid() && words[1].startsWith(QLatin1Char('#'));
    }
    for (int n = 2; good && n < words.size(); ++n) {
      shape.numbers.append(words[n].toDouble(&good));
    }
    if (!good) {
      std::fprintf(stderr, "make_icon: %s:%d: not understood: %s\n", qPrintable(path), i + 1,
                   qPrintable(line));
      return false;
    }
    shapes->append(shape);
  }
  if (shapes->isEmpty()) {
    std::fprintf(stderr, "make_icon: %s has no shapes\n", qPrintable(path));
    return false;
  }
  return true;
}

void Draw(const QList<Shape>& shapes, QImage* image) {
  image->fill(Qt::transparent);
  QPainter painter(image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.scale(image->width() / kSourceSide, image->height() / kSourceSide);
  for (const Shape& shape : shapes) {
    const QList<double>& v = shape.numbers;
    if (shape.kind == QStringLiteral("round") || shape.kind == QStringLiteral("rect")) {
      const double radius = shape.kind == QStringLiteral("round") ? v[4] : 0.0;
      QPainterPath path;
      path.addRoundedRect(QRectF(v[0], v[1], v[2], v[3]), radius, radius);
      painter.fillPath(path, shape.colour);
      continue;
    }
    QPen pen(shape.colour, v[0], Qt::SolidLine, Qt::RoundCap);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    if (shape.kind == QStringLiteral("line")) {
      painter.drawLine(QPointF(v[1], v[2]), QPointF(v[3], v[4]));
    } else {  // arc: Qt counts angles in sixteenths of a degree
      const QRectF circle(v[1] - v[3], v[2] - v[3], 2 * v[3], 2 * v[3]);
      painter.drawArc(circle, static_cast<int>(v[4] * 16), static_cast<int>(v[5] * 16));
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: make_icon icon.txt FOLDER\n");
    return 2;
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");  // draws into memory only
  QGuiApplication application(argc, argv);

  QList<Shape> shapes;
  if (!ReadSource(QString::fromLocal8Bit(argv[1]), &shapes)) return 1;
  const QString folder = QString::fromLocal8Bit(argv[2]);
  for (const int side : kSizes) {
    const QString sizeFolder = QStringLiteral("%1/%2x%2/apps").arg(folder).arg(side);
    const QString file = sizeFolder + QStringLiteral("/corvane.png");
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    Draw(shapes, &image);
    if (!QDir().mkpath(sizeFolder) || !image.save(file, "PNG")) {
      std::fprintf(stderr, "make_icon: cannot write %s\n", qPrintable(file));
      return 1;
    }
  }
  std::printf("make_icon: %zu sizes drawn in %s\n", std::size(kSizes), argv[2]);
  return 0;
}
