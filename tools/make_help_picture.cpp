// Draws the help picture CORVANE.BMP (700 x 390, a Windows bitmap) from its
// text source app/help.txt at build time.
//
//   make_help_picture help.txt CORVANE.BMP
//
// The source is UTF-8. Each line is a paragraph, wrapped at spaces to the
// column width with its continuation lines indented; a line "= Title" is a
// heading, a line "%%" starts the second column, blank lines are skipped.
// The largest font size at which everything fits is chosen; when nothing
// legible fits, the tool fails so that the build stops.
#include <QColor>
#include <QFile>
#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QList>
#include <QPainter>
#include <QString>
#include <QStringList>
#include <cstdio>

namespace {

constexpr int kWidth = 700;
constexpr int kHeight = 390;
constexpr int kMargin = 8;
constexpr int kColumnGap = 18;
constexpr int kColumns = 2;
constexpr int kColumnWidth = (kWidth - 2 * kMargin - (kColumns - 1) * kColumnGap) / kColumns;
constexpr int kLargestPixels = 15;
constexpr int kSmallestPixels = 11;  // below this Courier gets hard to read
constexpr int kHeadingPadding = 4;   // extra height of a heading band

struct Paragraph {
  QString text;
  bool heading = false;
};
using Column = QList<Paragraph>;

struct DrawnLine {
  QString text;
  bool heading = false;
};

bool ReadSource(const QString& path, QList<Column>* columns) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return false;
  const QString source = QString::fromUtf8(file.readAll());
  columns->append(Column());
  for (QString line : source.split(QLatin1Char('\n'))) {
    line = line.trimmed();
    if (line.isEmpty()) continue;
    if (line == QStringLiteral("%%")) {
      columns->append(Column());
    } else if (line.startsWith(QStringLiteral("= "))) {
      columns->last().append({line.mid(2), true});
    } else {
      columns->last().append({line, false});
    }
  }
  return columns->size() <= kColumns;
}

QFont HelpFont(int pixels) {
  QFont font(QStringLiteral("Courier"));
  font.setStyleHint(QFont::TypeWriter);
  font.setBold(true);
  font.setPixelSize(pixels);
  return font;
}

// Wraps one paragraph into lines no wider than the column; false when a
// single word does not fit.
bool WrapParagraph(const Paragraph& paragraph, const QFontMetrics& metrics,
                   QList<DrawnLine>* lines) {
  const QStringList words = paragraph.text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
  const QString indent = QStringLiteral("  ");
  QString current;
  for (const QString& word : words) {
    const QString candidate = current.isEmpty() ? word : current + QLatin1Char(' ') + word;
    if (metrics.horizontalAdvance(candidate) <= kColumnWidth) {
      current = candidate;
      continue;
    }
    if (current.isEmpty() || current == indent) return false;
    lines->append({current, paragraph.heading});
    current = indent + word;
    if (metrics.horizontalAdvance(current) > kColumnWidth) return false;
  }
  if (!current.isEmpty()) lines->append({current, paragraph.heading});
  return true;
}

// The lines of every column at this font size; false when they do not fit.
bool LayOut(const QList<Column>& columns, const QFontMetrics& metrics,
            QList<QList<DrawnLine>>* laidOut) {
  laidOut->clear();
  for (const Column& column : columns) {
    QList<DrawnLine> lines;
    for (const Paragraph& paragraph : column) {
      if (!WrapParagraph(paragraph, metrics, &lines)) return false;
    }
    int height = 0;
    for (const DrawnLine& line : lines) {
      height += metrics.height() + (line.heading ? kHeadingPadding : 0);
    }
    if (height > kHeight - 2 * kMargin) return false;
    laidOut->append(lines);
  }
  return true;
}

void Draw(const QList<QList<DrawnLine>>& columns, const QFont& font, QImage* image) {
  const QColor paper(0xFF, 0xFF, 0xF4);
  const QColor ink(0x10, 0x10, 0x10);
  const QColor headingBack(0x00, 0x00, 0xFF);  // the blue of the grid's headers
  const QColor headingInk(0xFF, 0xFF, 0xFF);
  image->fill(paper);
  QPainter painter(image);
  painter.setRenderHint(QPainter::TextAntialiasing);
  painter.setFont(font);
  const QFontMetrics metrics(font);
  for (int c = 0; c < columns.size(); ++c) {
    const int left = kMargin + c * (kColumnWidth + kColumnGap);
    if (c > 0) {
      painter.setPen(QColor(0xA0, 0xA0, 0xA0));
      const int x = left - kColumnGap / 2;
      painter.drawLine(x, kMargin, x, kHeight - kMargin);
    }
    int y = kMargin;
    for (const DrawnLine& line : columns[c]) {
      const int height = metrics.height() + (line.heading ? kHeadingPadding : 0);
      if (line.heading) {
        painter.fillRect(left - 3, y, kColumnWidth + 6, height - 1, headingBack);
        painter.setPen(headingInk);
      } else {
        painter.setPen(ink);
      }
      const int baseline = y + (height - metrics.height()) / 2 + metrics.ascent();
      painter.drawText(left, baseline, line.text);
      y += height;
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: make_help_picture help.txt CORVANE.BMP\n");
    return 2;
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");  // draws into memory only
  QGuiApplication application(argc, argv);

  QList<Column> columns;
  if (!ReadSource(QString::fromLocal8Bit(argv[1]), &columns)) {
    std::fprintf(stderr, "make_help_picture: cannot read %s or more than %d columns\n", argv[1],
                 kColumns);
    return 1;
  }
  QList<QList<DrawnLine>> laidOut;
  int pixels = kLargestPixels;
  while (pixels >= kSmallestPixels && !LayOut(columns, QFontMetrics(HelpFont(pixels)), &laidOut)) {
    --pixels;
  }
  if (pixels < kSmallestPixels) {
    std::fprintf(stderr, "make_help_picture: the help text does not fit %dx%d\n", kWidth, kHeight);
    return 1;
  }

  QImage image(kWidth, kHeight, QImage::Format_RGB32);
  Draw(laidOut, HelpFont(pixels), &image);
  if (!image.save(QString::fromLocal8Bit(argv[2]), "BMP")) {
    std::fprintf(stderr, "make_help_picture: cannot write %s\n", argv[2]);
    return 1;
  }
  std::printf("make_help_picture: %s drawn at %d px\n", argv[2], pixels);
  return 0;
}
