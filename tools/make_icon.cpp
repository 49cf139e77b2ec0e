// Draws the program's icon from its text source packaging/icon.txt at build
// time, one PNG per size in the folder layout of the hicolor icon theme:
//
//   make_icon icon.txt FOLDER [ICO]   writes FOLDER/<n>x<n>/apps/corvane.png,
//                                     and the Windows icon file ICO when given
//
// The Windows icon holds the 16, 24, 32 and 48 pixel sizes as 32-bit
// bitmaps with their masks, which every Windows reads, and 256 as a PNG.
//
// The source describes shapes in a 64 x 64 square (see icon.txt); each size
// is drawn from the shapes, not scaled from another size. A line that is not
// understood stops the tool, so that a broken source stops the build.
#include <QBuffer>
#include <QByteArray>
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

void PutLittle(QByteArray* out, quint32 value, int bytes) {
  for (int i = 0; i < bytes; ++i) out->append(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// One icon image as Windows keeps it in a bitmap: the header (its height
// counts the colours and the mask), the rows bottom up as BGRA, then the
// one-bit mask (set where the picture is clear), each row padded to 4 bytes.
QByteArray BitmapEntry(const QImage& drawn) {
  const QImage image = drawn.convertToFormat(QImage::Format_ARGB32);
  const int side = image.width();
  QByteArray out;
  PutLittle(&out, 40, 4);
  PutLittle(&out, static_cast<quint32>(side), 4);
  PutLittle(&out, static_cast<quint32>(2 * side), 4);
  PutLittle(&out, 1, 2);   // planes
  PutLittle(&out, 32, 2);  // bits per pixel
  for (int i = 0; i < 6; ++i) PutLittle(&out, 0, 4);
  for (int y = side - 1; y >= 0; --y) {
    for (int x = 0; x < side; ++x) PutLittle(&out, image.pixel(x, y), 4);  // 0xAARRGGBB
  }
  const int maskRow = ((side + 31) / 32) * 4;
  for (int y = side - 1; y >= 0; --y) {
    QByteArray row(maskRow, '\0');
    for (int x = 0; x < side; ++x) {
      if (qAlpha(image.pixel(x, y)) == 0) row[x / 8] = static_cast<char>(row[x / 8] | (0x80 >> (x % 8)));
    }
    out.append(row);
  }
  return out;
}

bool WriteWindowsIcon(const QList<Shape>& shapes, const QString& file) {
  constexpr int kIcoSizes[] = {16, 24, 32, 48, 256};
  QList<QByteArray> images;
  for (const int side : kIcoSizes) {
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    Draw(shapes, &image);
    if (side < 256) {
      images.append(BitmapEntry(image));
      continue;
    }
    QByteArray png;
    QBuffer buffer(&png);
    if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG")) return false;
    images.append(png);
  }
  QByteArray out;
  PutLittle(&out, 0, 2);
  PutLittle(&out, 1, 2);  // an icon
  PutLittle(&out, static_cast<quint32>(images.size()), 2);
  quint32 offset = 6 + 16 * static_cast<quint32>(images.size());
  for (int i = 0; i < images.size(); ++i) {
    const int side = kIcoSizes[i];
    PutLittle(&out, side == 256 ? 0 : static_cast<quint32>(side), 1);  // 0 stands for 256
    PutLittle(&out, side == 256 ? 0 : static_cast<quint32>(side), 1);
    PutLittle(&out, 0, 2);   // no palette, reserved
    PutLittle(&out, 1, 2);   // planes
    PutLittle(&out, 32, 2);  // bits per pixel
    PutLittle(&out, static_cast<quint32>(images[i].size()), 4);
    PutLittle(&out, offset, 4);
    offset += static_cast<quint32>(images[i].size());
  }
  for (const QByteArray& image : images) out.append(image);
  QFile target(file);
  return target.open(QIODevice::WriteOnly | QIODevice::Truncate) && target.write(out) == out.size();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 && argc != 4) {
    std::fprintf(stderr, "usage: make_icon icon.txt FOLDER [ICO]\n");
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
  if (argc == 4 && !WriteWindowsIcon(shapes, QString::fromLocal8Bit(argv[3]))) {
    std::fprintf(stderr, "make_icon: cannot write %s\n", argv[3]);
    return 1;
  }
  std::printf("make_icon: %zu sizes drawn in %s\n", std::size(kSizes), argv[2]);
  return 0;
}
