// The main window and the notice, through their real widgets.
#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QFileInfo>
#include <QPointer>
#include <QRegularExpression>
#include <QTimer>
#include <map>

#include "forms/form2.h"
#include "os/clock_testing.h"
#include "os/codepage_host.h"
#include "os/files_testing.h"
#include "picture/picture_files.h"
#include "tests/test_support.h"
#include "widgets/twips.h"
#include "widgets/twips_testing.h"

namespace quorvel {
namespace {

using testing::FrmMainTest, testing::ReadFile;

// Each control as window_table.txt (which the screen reader test reads too) gives it, at 120 and 96
// dots per inch under a dark desktop theme; Tab round the stops in the table's order.
TEST_F(FrmMainTest, TheWindowsAsAUserMeetsThem) {
  const QString table = QString::fromUtf8(ReadFile(":/window_table.txt"));
  const QStringList rows = table.split(u'\n').filter(QRegularExpression("^\\w"));
  ASSERT_FALSE(rows.isEmpty());
  using enum QAccessible::Role;
  const std::map<QString, QAccessible::Role> roles = {
      {"frame", Window},           {"dialog", Dialog}, {"text", EditableText},
      {"push button", PushButton}, {"image", Graphic}, {"label", StaticText},
      {"panel", Grouping}};
  for (const int tpp : {12, 15}) {
    widgets::SetTwipsPerPixelForTesting(tpp);
    const QPalette before = QApplication::palette();
    QApplication::setPalette(QPalette(QColor(0x353535)));  // white text on dark grey
    frmmain f;
    Form2 n;
    QApplication::setPalette(before);
    EXPECT_EQ(n.size(), widgets::TwipsRect(0, 0, 8652, 3480).size());  // before its sizing
    n.Form_Load();
    f.show();
    n.show();
    std::map<QWidget*, std::vector<QWidget*>> stops;
    for (const QString& row : rows) {
      SCOPED_TRACE(row.toStdString());
      const QStringList c = row.trimmed().split(QRegularExpression(" *\\| *"));
      QWidget& window = c[0] == "Form2" ? static_cast<QWidget&>(n) : f;
      QWidget* w = nullptr;
      for (QWidget* each : window.findChildren<QWidget*>() + QWidgetList{&window}) {
        const QAccessibleInterface* i = QAccessible::queryAccessibleInterface(each);
        if (!w && i && i->role() == roles.at(c[2]) && i->text(QAccessible::Name) == c[3]) w = each;
      }
      ASSERT_TRUE(w);
      const QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
      if (c[1] != "-") stops[&window].push_back(w);
      const auto px = [tpp, t = c[5].split(u',')](int i) { return qRound(t[i].toDouble() / tpp); };
      const QRect at = w->isWindow() ? QRect(QPoint(), w->size()) : w->geometry();
      const QSize size = c[5].count(u',') == 3 ? QSize(px(2), px(3)) : at.size();  // autosized
      // The notice's places follow its picture's pixels, given at 96 dpi.
      EXPECT_EQ(at, tpp == 12 && &window == &n ? at : QRect(QPoint(px(0), px(1)), size));
      const QAccessible::State s = a->state();
      const QString states = QString(s.disabled ? "" : "e") + (s.editable ? "w" : "") +
                             (s.invisible ? "" : "v") + (s.focusable ? "f" : "") +
                             (s.multiLine ? "m" : "");
      QPalette p = w->palette();
      p.setCurrentColorGroup(w->isEnabled() ? QPalette::Active : QPalette::Disabled);
      const auto pair = [&](auto t, auto b) { return p.color(t).name() + '/' + p.color(b).name(); };
      QString colours = c[2] == "push button" ? pair(QPalette::ButtonText, QPalette::Button)
                        : c[2] == "text"      ? pair(QPalette::Text, QPalette::Base)
                                              : pair(QPalette::WindowText, QPalette::Window);
      if (c[2] == "text") colours += u' ' + pair(QPalette::HighlightedText, QPalette::Highlight);
      const auto labels = a->relations(QAccessible::Label);
      const QString label = labels.empty() ? "-" : labels[0].first->text(QAccessible::Name);
      const QString font = QString::number(w->font().pointSizeF()) + (w->font().bold() ? "b" : "");
      EXPECT_EQ(QStringList({states, c[5], label, colours, c[8] == "-" ? "-" : font}), c.mid(4));
    }
    EXPECT_EQ(n.windowTitle(), QString());
    for (auto* key : f.txtKeys)
      EXPECT_TRUE(key->alignment() == Qt::AlignCenter && key->Text() == "042");
    // The icon at every size, greyed when disabled, sharp at a scale of 2.
    const QIcon icon = f.windowIcon();
    EXPECT_TRUE(!icon.isNull() && icon.availableSizes().contains(QSize(256, 256)));
    EXPECT_EQ(icon.pixmap(QSize(32, 32), 2.0).size(), QSize(64, 64));
    EXPECT_NE(icon.pixmap(32, QIcon::Disabled).toImage(), icon.pixmap(32).toImage());
    // Tab moves each window's own focus from none round its stops, active or not (Qt's minimal
    // platform activates only the first window shown).
    for (const auto& [window, stop] : stops) {
      window->focusWidget()->clearFocus();
      for (std::size_t i = 0; i <= stop.size(); ++i) {
        QTest::keyClick(window->focusWidget() ? window->focusWidget() : window, Qt::Key_Tab);
        EXPECT_EQ(window->focusWidget(), stop[i % stop.size()]) << i;
      }
    }
  }
}

// Refused keys, texts, disks, files and decodes say why (never "Done.") and leave the picture file
// and the picture shown as they were.
TEST_F(FrmMainTest, RefusalsSayWhyAndKeepThePicture) {
  // Nothing loaded: a bad key first, then "Load the picture first"; no file yet: "Error".
  widgets::PictureBox& pic = *form_->pDecrypt;
  form_->txtDecrypt->SetText("kept");
  form_->txtKeys[2]->SetText(QString());
  Decrypt();
  form_->txtKeys[2]->SetText("1");
  Decrypt();
  pic.SetTag("yes");
  Decrypt();
  Load();
  QStringList seen;
  for (const auto& m : Messages()) seen << m.prompt + u' ' + QString::number(m.buttons);
  EXPECT_EQ(seen, QStringList({"Error 0", "Load the picture first 64", "Error 0", "Error 0"}));
  EXPECT_EQ(form_->txtDecrypt->Text(), "kept");
  Encrypt("first");
  const QByteArray before = ReadFile(PicPath());
  ASSERT_FALSE(before.isEmpty());
  const std::tuple<int, const char*, QString, QString, int> cases[] = {
      {0, "", "x", "Error", 0},
      {1, "abc", "x", "Error", 0},
      {2, "256", "x", "Error", 0},
      {0, "42", QString(98302, u'q'), "it has 98302 characters", 48},
      {0, "42", "caf\u00e9\r\n \u0416x",
       "\"\u0416\" U+0416 at line 2, column 2 has no code in code page 1252, so it cannot be "
       "hidden in the picture. Code page 1251 (Cyrillic) has it: " +
           os::CodePageAdvice(QLatin1StringView("Russian"), QLatin1StringView("ru_RU.UTF-8")) +
           ", or use quorvel-strip --codepage 1251. Nothing was saved.",
       48},
      {0, "42", "\u20ac\u0e01", "Code page 874 (Thai) has it", 48},
      {0, "42", "sync", PicPath() + ": ", widgets::vbCritical}};
  for (const auto& [key, key_text, text, message, icon] : cases) {
    ClearMessages();
    SetKeys({"42", "42", "42"});
    form_->txtKeys[std::size_t(key)]->SetText(QString::fromUtf8(key_text));
    const bool sync = icon == widgets::vbCritical;
    if (sync) os::SetFileFaultForTesting(os::FileFault{os::FileStep::kSync, EIO});
    Encrypt(text);
    // The failing disk in the system's own words.
    const QString failed = sync ? Why(picture::SavePicture(testing::Sample(3, 8), PicPath())) : "";
    os::SetFileFaultForTesting(std::nullopt);
    ASSERT_EQ(Messages().size(), 1u) << message.toStdString();
    EXPECT_TRUE(LastPrompt().contains(message) && (!sync || LastPrompt() == failed))
        << LastPrompt().toStdString();
    EXPECT_EQ(Messages()[0].buttons, icon);
    EXPECT_EQ(ReadFile(PicPath()), before);
  }
  ClearMessages();
  Encrypt(QString());  // an empty text: nothing at all
  EXPECT_TRUE(Messages().empty());
  // Pasted, a lone line feed or carriage return is a line break, CR LF, as typed; 10 MB of lines
  // are refused with their length.
  QApplication::clipboard()->setText("a\nb\rc");
  form_->txtSrc->paste();  // into the emptied box
  EXPECT_EQ(form_->txtSrc->Text(), "a\r\nb\r\nc");
  QApplication::clipboard()->setText(QString(99, u'x').append(u'\n').repeated(104858));
  form_->txtSrc->selectAll();
  form_->txtSrc->paste();
  QTest::mouseClick(form_->CmdEncrypt, Qt::LeftButton);
  EXPECT_TRUE(LastPrompt().contains("it has 10590658 characters")) << qPrintable(LastPrompt());
  EXPECT_EQ(ReadFile(PicPath()), before);
  Load();
  Encrypt("keep me");
  Load();  // a second load shows the second picture
  EXPECT_EQ(pic.Tag() + u' ' + pic.accessibleName(), "1 Strip picture: 3 \u00d7 8 pixels loaded");
  EXPECT_EQ(pic.size(), QSize(3, 8));
  const picture::Pixels shown = pic.Image();
  for (const QByteArray& bytes :
       {QByteArray("not a picture"), ReadFile(PicPath()).left(40), QByteArray("folder")}) {
    QFile::remove(PicPath());
    ASSERT_TRUE(bytes == "folder" ? QDir().mkdir(PicPath()) : testing::WriteFile(PicPath(), bytes));
    Load();
    EXPECT_TRUE(LastPrompt() == "Error" && pic.Image() == shown) << bytes.left(9).data();
    ClearMessages();
  }
  Decrypt();
  EXPECT_EQ(form_->txtDecrypt->Text(), "keep me");
  // One column more than a decode can count: "Error", and the text stays.
  QDir(PicPath()).removeRecursively();
  ASSERT_TRUE(picture::SavePicture(testing::Sample(32768, 1), "C:\\dpics\\pic.bmp").ok());
  Load();
  ASSERT_EQ(pic.ScaleWidth(), 32768);
  Decrypt();
  EXPECT_EQ(LastPrompt() + u'|' + form_->txtDecrypt->Text(), "Error|keep me");
  // Each "Clear" empties its own text; clicking the text to hide does nothing.
  QTest::mouseClick(form_->txtSrc, Qt::LeftButton);
  QTest::mouseClick(form_->Command2, Qt::LeftButton);
  EXPECT_EQ(form_->txtSrc->Text() + u'|' + form_->txtDecrypt->Text(), "keep me|");
  QTest::mouseClick(form_->Command1, Qt::LeftButton);
  EXPECT_EQ(form_->txtSrc->Text() + u'|' + form_->txtDecrypt->Text(), "|");
}

// The notice shows modally on every fifth day of the month, before the main window and before the
// picture folder is made; only its "X" button, which has the focus, closes it. December tells the
// day of the month from that of the year.
TEST_F(FrmMainTest, TheNoticeShowsOnEveryFifthDay) {
  const std::pair<const char*, bool> days[] = {
      {"2026-12-05", true}, {"2026-12-06", false}, {"2026-12-10", true}, {"2027-01-04", false}};
  for (const auto& [day, due] : days) {
    os::SetTodayForTesting(QDate::fromString(day, Qt::ISODate));
    QDir(Drive("dpics")).removeRecursively();
    frmmain form;
    std::optional<bool> right;  // once the notice shows: all it does and does not do as it should
    QTimer::singleShot(0, [&] {
      auto* notice = dynamic_cast<Form2*>(QApplication::activeModalWidget());
      if (!notice) return;
      right = !form.isVisible() && !QFileInfo::exists(Drive("dpics"));
      QPointer<Form2> alive(notice);
      QTest::keyClick(notice, Qt::Key_Escape);
      QTest::mouseClick(notice->Image1, Qt::LeftButton, {}, QPoint(300, 200));
      notice->Command2->click();
      right = *right && alive && alive->isVisible();
      EXPECT_EQ(notice->focusWidget(), notice->Command1);
      QTest::keyClick(notice->Command1, Qt::Key_Return);
    });
    // A notice still there after ten seconds is taken away: the test fails instead of hanging.
    bool stuck = false;
    QTimer::singleShot(10000, &form, [&] {
      for (QWidget* window : QApplication::topLevelWidgets())
        if (auto* left = dynamic_cast<Form2*>(window)) stuck = true, left->deleteLater();
    });
    ASSERT_TRUE(form.Form_Load());
    QApplication::processEvents();  // the timer, on days without a notice
    EXPECT_EQ(right, due ? std::optional(true) : std::nullopt) << day;
    EXPECT_TRUE(!stuck && QFileInfo(Drive("dpics")).isDir());
  }
}

}  // namespace
}  // namespace quorvel
