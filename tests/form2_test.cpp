// The notice window and the start-up check that shows it.
#include "forms/form2.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QTest>
#include <QTimer>

#include "forms/frmmain.h"
#include "platform/clock.h"
#include "platform/twips.h"
#include "platform/windows.h"
#include "tests/test_support.h"

namespace quorvel {
namespace {

class NoticeTest : public testing::QtFixture {
 protected:
  // The notice window now on the screen, if any.
  static Form2* ShownNotice() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (auto* notice = dynamic_cast<Form2*>(w); notice && notice->isVisible()) return notice;
    }
    return nullptr;
  }
};

TEST_F(NoticeTest, ShownOnEveryFifthDayBeforeTheMainWindow) {
  for (int day : {5, 10, 15, 20, 25, 30, 1, 4, 6, 29, 31}) {
    platform::SetTodayForTesting(QDate(2027, 1, day));
    frmmain form;
    bool seen = false;
    bool main_hidden = false;
    bool folder_missing = false;
    QTimer::singleShot(0, [&] {
      Form2* notice = ShownNotice();
      if (!notice) return;
      seen = true;
      main_hidden = !form.isVisible();
      folder_missing = !QFileInfo::exists(Drive(QStringLiteral("dpics")));
      QTest::mouseClick(notice->Command1, Qt::LeftButton);
    });
    ASSERT_TRUE(form.Form_Load());
    QApplication::processEvents();  // the timer, on days without a notice
    const bool due = day % 5 == 0;
    EXPECT_EQ(seen, due) << day;
    if (due) {
      EXPECT_TRUE(main_hidden);
      EXPECT_TRUE(folder_missing) << "the folder step runs after the notice";
    }
    // After "X" start-up went on: the folder exists, the notice is gone.
    EXPECT_TRUE(QFileInfo(Drive(QStringLiteral("dpics"))).isDir()) << day;
    EXPECT_EQ(ShownNotice(), nullptr);
    QDir(Drive(QStringLiteral("dpics"))).removeRecursively();
  }
}

TEST_F(NoticeTest, SizedToItsPictureAtEachResolution) {
  struct Case {
    double twips_per_pixel;
    double height_twips;
    QRect x_button;
  };
  for (const Case c :
       {Case{15, 5415, QRect(8, 8, 21, 21)}, Case{12, 4332, QRect(10, 10, 27, 27)}}) {
    platform::SetTwipsPerPixelForTesting(c.twips_per_pixel);
    Form2 notice;
    notice.Form_Load();
    EXPECT_EQ(notice.size(), QSize(685, 361));
    // The picture covers the window, from its top-left corner.
    EXPECT_EQ(notice.Image1->geometry(), QRect(0, 0, 685, 361));
    const QImage shown = notice.Image1->pixmap().toImage();
    EXPECT_EQ(shown.size(), QSize(685, 361));
    // "X" sits over the picture's corner; Command2 lies 1000 twips below.
    EXPECT_EQ(notice.Command1->geometry(), c.x_button);
    EXPECT_EQ(notice.Command1->text(), QStringLiteral("X"));
    EXPECT_EQ(notice.Command2->y(), qRound((c.height_twips + 1000) / c.twips_per_pixel));
    EXPECT_GT(notice.Command2->y(), notice.height());
    EXPECT_TRUE(notice.Command2->isEnabled());
    // The buttons are above the picture.
    EXPECT_EQ(notice.childAt(notice.Command1->geometry().center()), notice.Command1);
    EXPECT_TRUE(notice.windowFlags() & Qt::FramelessWindowHint);
  }
}

TEST_F(NoticeTest, OnlyTheXButtonClosesIt) {
  auto* notice = new Form2;
  notice->Form_Load();
  QPointer<Form2> alive(notice);
  bool escape_ignored = false;
  bool click_ignored = false;
  bool command2_ignored = false;
  QTimer::singleShot(0, [&] {
    QTest::keyClick(notice, Qt::Key_Escape);
    escape_ignored = alive && alive->isVisible();
    QTest::mouseClick(notice->Image1, Qt::LeftButton, {}, QPoint(300, 200));
    click_ignored = alive && alive->isVisible();
    notice->Command2->click();
    QTest::keyClick(notice->Command2, Qt::Key_Return);
    command2_ignored = alive && alive->isVisible();
    QTest::keyClick(notice->Command1, Qt::Key_Return);  // Enter presses "X"
  });
  platform::ShowModal(notice);
  EXPECT_TRUE(escape_ignored);
  EXPECT_TRUE(click_ignored);
  EXPECT_TRUE(command2_ignored);
  QApplication::processEvents();
  EXPECT_TRUE(alive.isNull()) << "unloading deletes the window";
}

}  // namespace
}  // namespace quorvel
