// Draws the README's pictures on Qt's offscreen platform: the main window
// after a round trip, the notice window, and one strip enlarged with its
// columns explained.
//
// Usage: quorvel-screenshots OUTPUT_FOLDER   (run by tools/screenshots.sh)
#include <QApplication>
#include <QDir>
#include <QPainter>
#include <QTemporaryDir>

#include "cipher/strip.h"
#include "forms/form2.h"
#include "forms/frmmain.h"
#include "os/codepage_host.h"
#include "widgets/msgbox.h"

namespace {

using quorvel::Rgb;

// The strip of a text, each column drawn wide, with its three characters
// under it and its colour's red, green and blue values.
QImage ExplainedStrip(const QString& text, const quorvel::KeyTriple& keys) {
  const quorvel::CodePage& page = quorvel::os::ActiveCodePage();
  const auto strip = quorvel::EncodeStrip(quorvel::os::ToU16(text), keys, page);
  const QString padded = quorvel::os::FromU16(quorvel::PadText(quorvel::os::ToU16(text)));
  const int column = 64, strip_height = 48, margin = 12;
  const int n = static_cast<int>(strip.columns.size());
  QImage image(2 * margin + n * column, 2 * margin + strip_height + 70, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter p(&image);
  p.setRenderHint(QPainter::TextAntialiasing);
  QFont mono(QStringLiteral("Liberation Mono"));
  mono.setPixelSize(13);
  p.setFont(mono);
  for (int x = 0; x < n; ++x) {
    const Rgb c = strip.columns[static_cast<std::size_t>(x)];
    const QRect cell(margin + x * column, margin, column - 2, strip_height);
    p.fillRect(cell, QColor(c.r, c.g, c.b));
    p.setPen(Qt::black);
    QString chars;
    for (int i = 0; i < 3; ++i) {
      const QChar ch = padded[3 * x + i];
      chars += ch == u' ' ? QChar(0x2423) : ch;  // show spaces as a visible mark
    }
    p.drawText(QRect(cell.left(), cell.bottom() + 6, column, 18), Qt::AlignHCenter, chars);
    p.setPen(QColor(0xB0, 0, 0));
    p.drawText(QRect(cell.left(), cell.bottom() + 24, column, 16), Qt::AlignHCenter,
               QString::number(c.r));
    p.setPen(QColor(0, 0x70, 0));
    p.drawText(QRect(cell.left(), cell.bottom() + 38, column, 16), Qt::AlignHCenter,
               QString::number(c.g));
    p.setPen(QColor(0, 0, 0xB0));
    p.drawText(QRect(cell.left(), cell.bottom() + 52, column, 16), Qt::AlignHCenter,
               QString::number(c.b));
  }
  return image;
}

}  // namespace

int main(int argc, char* argv[]) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QApplication::setStyle(QStringLiteral("Fusion"));  // as on a Linux desktop
  if (argc != 2) {
    qWarning("usage: quorvel-screenshots OUTPUT_FOLDER");
    return 2;
  }
  const QDir out(QString::fromLocal8Bit(argv[1]));
  QTemporaryDir data;
  qputenv("XDG_DATA_HOME", data.path().toUtf8());
  quorvel::widgets::SetMessageHandler([](const quorvel::widgets::MessageRecord&) {});

  quorvel::frmmain window;
  // The folder step only; the notice is drawn on its own below.
  QDir().mkpath(data.path() + QStringLiteral("/quorvel/drive_c/dpics"));
  const QString text = QStringLiteral("Meet me at the\r\nold mill at noon.");
  window.txtSrc->SetText(text);
  window.CmdEncrypt_Click();
  window.cmdLoad_Click();
  window.cmdDecrypt_Click();
  window.show();
  QApplication::processEvents();
  bool ok = window.grab().save(out.filePath(QStringLiteral("main-window.png")));

  quorvel::Form2 notice;
  notice.Form_Load();
  notice.show();
  QApplication::processEvents();
  ok = notice.grab().save(out.filePath(QStringLiteral("notice-window.png"))) && ok;

  ok = ExplainedStrip(QStringLiteral("Hello, strip!"), quorvel::KeyTriple{{42, 42, 42}})
           .save(out.filePath(QStringLiteral("strip-explained.png"))) &&
       ok;
  return ok ? 0 : 1;
}
