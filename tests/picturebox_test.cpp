#include "platform/picturebox.h"

#include "platform/pictures.h"
#include "tests/test_support.h"

namespace quorvel {
namespace {

using platform::PictureBox;

class PictureBoxTest : public testing::QtFixture {};

TEST_F(PictureBoxTest, LineLeavesOutItsEndPoint) {
  PictureBox box;
  box.resize(4, 10);
  box.Cls();
  box.Lines({0x00FFFFFF, 0x00332211}, 0, 8);
  for (int y = 0; y < 10; ++y) {
    EXPECT_EQ(box.Point(1, y), y < 8 ? 0x00332211 : 0x00FFFFFF) << y;
    EXPECT_EQ(box.Point(0, y), 0x00FFFFFF);
    EXPECT_EQ(box.Point(2, y), 0x00FFFFFF);
  }
}

TEST_F(PictureBoxTest, PointOutsideTheImageIsMinusOne) {
  PictureBox box;
  box.resize(3, 2);
  box.Cls();
  EXPECT_EQ(box.Point(3, 0), -1);
  EXPECT_EQ(box.Point(-1, 0), -1);
  EXPECT_EQ(box.Point(0, 2), -1);
  EXPECT_EQ(box.Point(2, 1), 0x00FFFFFF);
}

TEST_F(PictureBoxTest, WidthAndClsFollowThePixels) {
  PictureBox box;
  box.resize(92, 8);
  box.SetWidth(5);
  EXPECT_EQ(box.ScaleWidth(), 5.0f);
  EXPECT_EQ(box.Image().size(), QSize(5, 8));
  box.Lines({0, 0, 0, 0, 0}, 0, 8);
  box.Cls();
  EXPECT_EQ(box.Point(4, 0), 0x00FFFFFF);
}

TEST_F(PictureBoxTest, AutoSizeTakesThePictureExactly) {
  PictureBox box;
  box.resize(92, 8);
  // A picture with an alpha channel keeps its colour channels as stored.
  QImage picture(7, 3, QImage::Format_ARGB32);
  picture.fill(qRgba(10, 20, 30, 0));
  picture.setPixel(6, 0, qRgba(200, 100, 50, 128));
  box.SetPicture(picture);
  EXPECT_EQ(box.size(), QSize(7, 3));
  EXPECT_EQ(box.ScaleWidth(), 7.0f);
  EXPECT_EQ(box.Point(0, 0), 10 | 20 << 8 | 30 << 16);
  EXPECT_EQ(box.Point(6, 0), 200 | 100 << 8 | 50 << 16);

  box.ClearPicture();
  EXPECT_FALSE(box.HasPicture());
  EXPECT_EQ(box.Point(6, 0), 0x00FFFFFF);
}

TEST_F(PictureBoxTest, IndexedPicturesGiveTheirPaletteColours) {
  const QByteArray bmp =
      testing::MakeBmp(3, 1, 8, false, {0, 1, 2}, {0x00112233, 0x00445566, 0x00778899});
  const auto loaded = platform::LoadPictureData(bmp);
  ASSERT_TRUE(loaded.ok()) << loaded.error.toStdString();
  PictureBox box;
  box.SetPicture(loaded.image);
  EXPECT_EQ(box.Point(0, 0), 0x00332211);
  EXPECT_EQ(box.Point(1, 0), 0x00665544);
  EXPECT_EQ(box.Point(2, 0), 0x00998877);
}

}  // namespace
}  // namespace quorvel
