#include "picture/strip_picture.h"

#include "os/codepage_host.h"
#include "os/paths.h"
#include "os/shown_name.h"
#include "picture/persistent_image.h"

namespace quorvel::picture {

namespace {

// A language written in each known code page, and its locale, to name the
// setting that brings the page.
struct PageLocale {
  int page;
  const char* script;
  const char* language;
  const char* locale;
};
constexpr PageLocale kPageLocales[] = {
    {1252, "Western European", "English", "en_US.UTF-8"},
    {874, "Thai", "Thai", "th_TH.UTF-8"},
    {1250, "Central European", "Polish", "pl_PL.UTF-8"},
    {1251, "Cyrillic", "Russian", "ru_RU.UTF-8"},
    {1253, "Greek", "Greek", "el_GR.UTF-8"},
    {1254, "Turkish", "Turkish", "tr_TR.UTF-8"},
    {1255, "Hebrew", "Hebrew", "he_IL.UTF-8"},
    {1256, "Arabic", "Arabic", "ar_EG.UTF-8"},
    {1257, "Baltic", "Lithuanian", "lt_LT.UTF-8"},
    {1258, "Vietnamese", "Vietnamese", "vi_VN.UTF-8"},
};

// A character as a message shows it: itself in quotes and its code point,
// or by its code point alone one that a name would show as an escape (a
// control character, a bidirectional control).
QString DescribeCharacter(char32_t c) {
  const QString hex = QString::number(static_cast<uint>(c), 16).toUpper().rightJustified(4, u'0');
  const char32_t one[1] = {c};
  const QString itself = QString::fromUcs4(one, 1);
  if (os::ShownName(itself) != itself) return QStringLiteral("U+") + hex;
  return QStringLiteral("\"%1\" U+%2").arg(itself, hex);
}

// Where a character that has no code can be hidden instead.
QString PageAdvice(char32_t c, const CodePage& page) {
  for (const PageLocale& other : kPageLocales) {
    if (other.page == page.Number() || c > 0xFFFF) continue;
    if (FindCodePage(other.page)->Code(static_cast<char16_t>(c)) < 0) continue;
    return QStringLiteral("Code page %1 (%2) has it: %3, or use quorvel-strip --codepage %1.")
        .arg(
            QString::number(other.page), QLatin1StringView(other.script),
            os::CodePageAdvice(QLatin1StringView(other.language), QLatin1StringView(other.locale)));
  }
  return QStringLiteral("No code page Quorvel knows has it.");
}

const QString kNothingSaved = u' ' + NothingSaved();

}  // namespace

QString PicturePath() { return QStringLiteral("C:\\dpics\\pic.bmp"); }
QString PictureFolder() { return QStringLiteral("c:\\dpics"); }
QString DefaultKey() { return QStringLiteral("042"); }

os::Result<void> MakePictureFolder() {
  if (!os::Dir(PictureFolder(), os::vbDirectory).isEmpty()) return {};
  return os::MkDir(PictureFolder());
}

QString NothingSaved() { return QStringLiteral("Nothing was saved."); }

QString ReadRefusal(const QString& what, const QString& reason) {
  return QStringLiteral("%1 could not be read: %2.").arg(what, reason);
}

Pixels StripImage(const std::vector<Rgb>& columns, int height) {
  PersistentImage image;
  image.Resize(QSize(static_cast<int>(columns.size()), height));
  DrawStrip(image, columns, height);
  return image.Take();
}

DecodeResult DecodePicture(const KeyTriple& keys, float width, const Pixels& image,
                           const CodePage& page) {
  const int columns = image.height > 0 ? image.width : 0;
  return DecodeStrip(
      keys, width,
      [&image, columns](std::int32_t x) {
        return x >= 0 && x < columns ? PackedColour(image.At(x, 0)) : -1;
      },
      page);
}

QString EncodeRefusal(const EncodeFailure& failure, const QString& text, const CodePage& page) {
  switch (failure.error) {
    case EncodeError::kEmpty:
      return QStringLiteral("The text is empty: there is nothing to hide.") + kNothingSaved;
    case EncodeError::kTooLong:
      return TooLongRefusal(text.size(), false);
    case EncodeError::kNoCode:
      break;
  }
  // Lines end at a line feed; every character before the refused one has a
  // code, so each one is one column.
  const qsizetype index = static_cast<qsizetype>(failure.position) - 1;
  const qsizetype line_start = index > 0 ? text.lastIndexOf(u'\n', index - 1) + 1 : 0;
  const qsizetype line = text.left(index).count(u'\n') + 1;
  return QStringLiteral(
             "The character %1 at line %2, column %3 has no code in code page %4, so it cannot "
             "be hidden in the picture. %5")
             .arg(DescribeCharacter(failure.character), QString::number(line),
                  QString::number(index - line_start + 1), QString::number(page.Number()),
                  PageAdvice(failure.character, page)) +
         kNothingSaved;
}

QString TooLongRefusal(qsizetype length, bool at_least) {
  return QStringLiteral(
             "The text is too long to hide in one picture: it has %1%2 characters, a line break "
             "counting as two, and a picture holds at most %3.")
             .arg(at_least ? QStringLiteral("at least ") : QString(), QString::number(length),
                  QString::number(kMaxTextLength)) +
         kNothingSaved;
}

QString KeyRefusal(int index, const QString& text, const QString& source) {
  return QStringLiteral("Key %1 \"%2\"%3 is not a number from 0 to 255.")
      .arg(QString::number(index), text,
           source.isEmpty() ? QString() : QStringLiteral(" from %1").arg(source));
}

QString DecodeRefusal(const DecodeFailure& failure, const QString& picture, int width) {
  const QString shown = os::ShownName(picture);
  if (failure.error == DecodeError::kBadColour) {
    return QStringLiteral("Column %1 of the picture %2 could not be read.")
        .arg(QString::number(failure.column), shown);
  }
  return QStringLiteral("The picture %1 is %2 pixels wide, and a strip has at most %3 columns.")
      .arg(shown, QString::number(width), QString::number(kMaxColumns));
}

}  // namespace quorvel::picture
