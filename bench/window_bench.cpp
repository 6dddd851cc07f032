// The window's own paths on 98,301 characters, each beside its floor: what
// plain Qt needs for the file work alone.
//  - Encode: everything CmdEncrypt_Click does (keys, cipher, drawing the
//    strip, the durable BMP save) but showing its message, against plain Qt
//    saving the same finished image as durably (QSaveFile, a sync, the
//    rename).
//  - Load and Decrypt: cmdLoad_Click and cmdDecrypt_Click, against plain Qt
//    loading the same BMP and showing the same text in a text box of the same
//    kind; and the same for a text of as many characters without a space or
//    line break, which the text box must lay out as one line, against the
//    worded text.
// The Part benchmarks time the steps of those paths one by one, to show
// where the time goes. Everything runs on Qt's offscreen platform in a
// private data folder.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QPlainTextEdit>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QWindow>
#include <memory>

#include <unistd.h>

#include "bench/sample_text.h"
#include "cipher/keys.h"
#include "cipher/strip.h"
#include "forms/frmmain.h"
#include "os/codepage_host.h"
#include "os/paths.h"
#include "picture/picture_files.h"
#include "picture/strip_picture.h"
#include "widgets/msgbox.h"

namespace quorvel {
namespace {

constexpr std::size_t kLength = kMaxTextLength;  // 98,301 characters
const QString kPicture = QStringLiteral("C:\\dpics\\pic.bmp");

frmmain* form = nullptr;
frmmain* unbroken = nullptr;  // a second window, for the unbroken text
QString last_message;

QString FloorPath() { return os::HostPath(QStringLiteral("C:\\dpics\\floor.bmp")); }

// Puts the sample text in the window and saves its strip once, so that
// every benchmark starts from the same picture.
bool Prepare() {
  static const bool ready = [] {
    form->txtSrc->SetText(os::FromU16(bench::SampleText(kLength)));
    form->CmdEncrypt_Click();
    return last_message == QStringLiteral("Done.");
  }();
  return ready;
}

// Shows a window and waits until it is on the screen: before that, Qt
// draws nothing, and repaint() returns at once.
bool ShowOnScreen(QWidget* window) {
  window->show();
  QElapsedTimer waited;
  waited.start();
  while (!window->windowHandle()->isExposed() && waited.elapsed() < 5000) {
    QApplication::processEvents();
  }
  return window->windowHandle()->isExposed();
}

void SetBytes(benchmark::State& state) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(kLength));
}

void BM_WindowEncode(benchmark::State& state) {
  if (!Prepare()) state.SkipWithError("the window did not save its strip");
  for (auto _ : state) {
    form->CmdEncrypt_Click();
  }
  if (last_message != QStringLiteral("Done.")) state.SkipWithError("Encrypt did not finish");
  SetBytes(state);
}

// The floor of Encrypt: plain Qt saving the same image as a BMP file as
// durably, written to a new file, synced to the disk and renamed over the
// old one.
void BM_QtDurableSave(benchmark::State& state) {
  if (!Prepare()) state.SkipWithError("the window did not save its strip");
  const QImage image = form->pEncrypt->Shown().copy();
  const QString path = FloorPath();
  for (auto _ : state) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !image.save(&file, "BMP") || !file.flush() ||
        ::fsync(file.handle()) != 0 || !file.commit()) {
      state.SkipWithError("the save failed");
    }
  }
  SetBytes(state);
}

// Load and Decrypt up to the text drawn in the shown window: a text box
// lays its text out only when it is drawn, and only as far as it is seen.
void BM_WindowLoadDecrypt(benchmark::State& state) {
  if (!Prepare()) state.SkipWithError("the window did not save its strip");
  if (!ShowOnScreen(form)) state.SkipWithError("the window is not on the screen");
  for (auto _ : state) {
    form->cmdLoad_Click();
    form->cmdDecrypt_Click();
    form->txtDecrypt->repaint();
  }
  form->hide();
  if (form->txtDecrypt->Text().size() != static_cast<qsizetype>(kLength)) {
    state.SkipWithError("Decrypt did not give the text back");
  }
  SetBytes(state);
}

// The sample text with every character that is not a letter or digit (the
// spaces and line breaks among them) replaced by a letter.
QString UnbrokenText() {
  QString text = os::FromU16(bench::SampleText(kLength));
  for (QChar& c : text) {
    if (!c.isLetterOrNumber()) c = u'x';
  }
  return text;
}

void BM_WindowLoadDecryptUnbroken(benchmark::State& state) {
  if (!Prepare()) state.SkipWithError("the window did not save its strip");
  unbroken->txtSrc->SetText(UnbrokenText());
  unbroken->CmdEncrypt_Click();
  if (last_message != QStringLiteral("Done.")) state.SkipWithError("Encrypt did not finish");
  if (!ShowOnScreen(unbroken)) state.SkipWithError("the window is not on the screen");
  for (auto _ : state) {
    unbroken->cmdLoad_Click();
    unbroken->cmdDecrypt_Click();
    unbroken->txtDecrypt->repaint();
  }
  unbroken->hide();
  if (unbroken->txtDecrypt->Text() != unbroken->txtSrc->Text()) {
    state.SkipWithError("Decrypt did not give the text back");
  }
  // The worded strip back at the picture path, for the other benchmarks.
  form->CmdEncrypt_Click();
  SetBytes(state);
}

// Pasting 300,000 characters without a space into the emptied text box of
// the shown window and pressing Encrypt, up to the "too long" message.
void BM_WindowPasteUnbrokenEncrypt(benchmark::State& state) {
  QApplication::clipboard()->setText(QString(300000, u'x'));
  unbroken->show();
  for (auto _ : state) {
    unbroken->txtSrc->SetText(QString());
    unbroken->txtSrc->paste();
    QApplication::processEvents();  // the box is drawn
    unbroken->CmdEncrypt_Click();
  }
  unbroken->hide();
  if (!last_message.contains(QStringLiteral("300000"))) state.SkipWithError("no \"too long\"");
}

// The floor of Load and Decrypt: plain Qt loading the same picture and
// showing the same text in a text box of the same kind, size and font.
void BM_QtLoadAndShow(benchmark::State& state) {
  if (!Prepare()) state.SkipWithError("the window did not save its strip");
  form->cmdLoad_Click();
  form->cmdDecrypt_Click();
  const QString text = form->txtDecrypt->toPlainText();
  QPlainTextEdit box;
  box.setFont(form->txtDecrypt->font());
  box.resize(form->txtDecrypt->size());
  if (!ShowOnScreen(&box)) state.SkipWithError("the box is not on the screen");
  const QString path = os::HostPath(kPicture);
  for (auto _ : state) {
    QImage image;
    if (!image.load(path)) state.SkipWithError("QImage::load failed");
    box.setPlainText(text);
    box.repaint();
    benchmark::DoNotOptimize(image.constBits());
  }
  SetBytes(state);
}

// The steps of Encrypt.
void BM_PartReadTextBox(benchmark::State& state) {
  if (!Prepare()) state.SkipWithError("the window did not save its strip");
  for (auto _ : state) {
    std::u16string text = os::ToU16(form->txtSrc->Text());
    benchmark::DoNotOptimize(text.data());
  }
  SetBytes(state);
}

void BM_PartEncodeStrip(benchmark::State& state) {
  if (!Prepare()) state.SkipWithError("the window did not save its strip");
  const std::u16string text = os::ToU16(form->txtSrc->Text());
  const KeyTriple keys{{42, 42, 42}};
  for (auto _ : state) {
    EncodeResult strip = EncodeStrip(text, keys, os::ActiveCodePage());
    benchmark::DoNotOptimize(strip.columns.data());
  }
  SetBytes(state);
}

void BM_PartDrawStrip(benchmark::State& state) {
  if (!Prepare()) state.SkipWithError("the window did not save its strip");
  const EncodeResult strip =
      EncodeStrip(os::ToU16(form->txtSrc->Text()), KeyTriple{{42, 42, 42}}, os::ActiveCodePage());
  for (auto _ : state) {
    form->pEncrypt->SetWidth(static_cast<int>(strip.columns.size()));
    picture::DrawStrip(*form->pEncrypt, strip.columns, 8);
  }
  SetBytes(state);
}

void BM_PartEncodeBmp24(benchmark::State& state) {
  if (!Prepare()) state.SkipWithError("the window did not save its strip");
  const picture::Pixels image = form->pEncrypt->Image();
  for (auto _ : state) {
    QByteArray bytes = picture::EncodeBmp24(image);
    benchmark::DoNotOptimize(bytes.data());
  }
  SetBytes(state);
}

void BM_PartSavePicture(benchmark::State& state) {
  if (!Prepare()) state.SkipWithError("the window did not save its strip");
  const picture::Pixels image = form->pEncrypt->Image();
  for (auto _ : state) {
    if (!picture::SavePicture(image, kPicture).ok()) state.SkipWithError("SavePicture failed");
  }
  SetBytes(state);
}

// The steps of Load and Decrypt.
void BM_PartLoadPicture(benchmark::State& state) {
  if (!Prepare()) state.SkipWithError("the window did not save its strip");
  for (auto _ : state) {
    os::Result<picture::Pixels> picture = picture::LoadPicture(kPicture);
    benchmark::DoNotOptimize(picture.value().rgb.data());
  }
  SetBytes(state);
}

void BM_PartSetPicture(benchmark::State& state) {
  if (!Prepare()) state.SkipWithError("the window did not save its strip");
  const picture::Pixels image = picture::LoadPicture(kPicture).value();
  for (auto _ : state) form->pDecrypt->SetPicture(image);
  SetBytes(state);
}

void BM_PartDecodeFromPictureBox(benchmark::State& state) {
  if (!Prepare()) state.SkipWithError("the window did not save its strip");
  form->pDecrypt->SetPicture(picture::LoadPicture(kPicture).value());
  const KeyTriple keys{{42, 42, 42}};
  for (auto _ : state) {
    DecodeResult text = picture::DecodePicture(keys, form->pDecrypt->ScaleWidth(),
                                               form->pDecrypt->Image(), os::ActiveCodePage());
    benchmark::DoNotOptimize(text.text.data());
  }
  SetBytes(state);
}

void BM_PartShowText(benchmark::State& state) {
  if (!Prepare()) state.SkipWithError("the window did not save its strip");
  const QString text = form->txtSrc->Text();
  for (auto _ : state) form->txtDecrypt->SetText(text);
  SetBytes(state);
}

BENCHMARK(BM_WindowEncode)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QtDurableSave)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WindowLoadDecrypt)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WindowLoadDecryptUnbroken)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WindowPasteUnbrokenEncrypt)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QtLoadAndShow)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PartReadTextBox)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PartEncodeStrip)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PartDrawStrip)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PartEncodeBmp24)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PartSavePicture)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PartLoadPicture)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PartSetPicture)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PartDecodeFromPictureBox)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PartShowText)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quorvel

int main(int argc, char** argv) {
  // A private data folder, the Western page and no display.
  QTemporaryDir data;
  if (!data.isValid()) return 1;
  qputenv("XDG_DATA_HOME", data.path().toUtf8());
  qputenv("LANG", "en_US.UTF-8");
  qunsetenv("LC_ALL");
  qunsetenv("LC_CTYPE");
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  if (!QDir().mkpath(quorvel::os::HostPath(QStringLiteral("C:\\dpics")))) return 1;

  quorvel::widgets::SetMessageHandler(
      [](const quorvel::widgets::MessageRecord& m) { quorvel::last_message = m.prompt; });
  auto window = std::make_unique<quorvel::frmmain>();
  quorvel::form = window.get();
  auto second = std::make_unique<quorvel::frmmain>();
  quorvel::unbroken = second.get();

  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  quorvel::widgets::SetMessageHandler({});
  return 0;
}
