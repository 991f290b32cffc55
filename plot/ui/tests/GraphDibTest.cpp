#include "plot/ui/GraphDib.h"

#include "plot/ui/tests/PlotTestSupport.h"

#include <QPainter>

#include <gtest/gtest.h>

namespace {

using plottest::SameColour;

class GraphDibTest : public ::testing::Test
{
protected:
    void SetUp() override { plottest::QtApp(); }
};

TEST_F(GraphDibTest, CreatedBlackAndFilledByByte)
{
    CGraphDib dib(8, 4);
    ASSERT_TRUE(dib.Exists());
    EXPECT_TRUE(SameColour(dib.GetSurface()->pixel(7, 3), qRgb(0, 0, 0)));
    dib.Fill(255);
    EXPECT_TRUE(SameColour(dib.GetSurface()->pixel(0, 0), qRgb(255, 255, 255)));
    EXPECT_FALSE(dib.IsDrawn());
}

TEST_F(GraphDibTest, ResizeToTheSameSizeKeepsTheSurfaceAndItsDrawnFlag)
{
    CGraphDib dib(10, 10);
    dib.GetSurface()->setPixel(3, 3, qRgb(255, 0, 0));
    dib.SetDrawn(true);
    const uchar* bits = dib.GetSurface()->constBits();
    dib.Resize(10, 10, false, 0);
    EXPECT_EQ(dib.GetSurface()->constBits(), bits);
    EXPECT_TRUE(SameColour(dib.GetSurface()->pixel(3, 3), qRgb(255, 0, 0)));
    EXPECT_TRUE(dib.IsDrawn());
    dib.Resize(10, 10, true, 0);
    EXPECT_TRUE(SameColour(dib.GetSurface()->pixel(3, 3), qRgb(0, 0, 0)));
    EXPECT_TRUE(dib.IsDrawn());
    dib.Resize(12, 10, true, 0);
    EXPECT_FALSE(dib.IsDrawn());
    EXPECT_EQ(dib.GetSurface()->width(), 12);
}

TEST_F(GraphDibTest, EmptySizeLeavesItAbsentUntilARealOne)
{
    CGraphDib dib(0, 5);
    EXPECT_FALSE(dib.Exists());
    EXPECT_EQ(dib.GetSurface(), nullptr);
    dib.Fill(255);
    QImage target(4, 4, QImage::Format_RGB32);
    target.fill(Qt::blue);
    {
        QPainter p(&target);
        dib.Blit(p, 0, 0, 4, 4);
    }
    EXPECT_TRUE(SameColour(target.pixel(0, 0), qRgb(0, 0, 255)));
    dib.Resize(5, 0, true, 0);
    EXPECT_FALSE(dib.Exists());
    dib.Resize(5, 5, true, 0);
    EXPECT_TRUE(dib.Exists());
}

TEST_F(GraphDibTest, BlitCopiesTheSameRectangleCutToThePicture)
{
    CGraphDib dib(20, 10);
    dib.Fill(0);
    dib.GetSurface()->setPixel(5, 0, qRgb(255, 0, 0));   // top row
    dib.GetSurface()->setPixel(5, 9, qRgb(0, 255, 0));   // bottom row
    dib.GetSurface()->setPixel(19, 9, qRgb(0, 0, 255));  // last pixel
    QImage target(30, 30, QImage::Format_RGB32);
    target.fill(Qt::white);
    {
        QPainter p(&target);
        dib.Blit(p, 0, 0, 10, 2);     // the top rows only
        dib.Blit(p, 15, 8, 40, 40);   // beyond the picture: cut
        dib.Blit(p, -5, -5, -1, -1);  // outside: nothing
    }
    EXPECT_TRUE(SameColour(target.pixel(5, 0), qRgb(255, 0, 0)));
    EXPECT_TRUE(SameColour(target.pixel(9, 1), qRgb(0, 0, 0)));
    EXPECT_TRUE(SameColour(target.pixel(5, 9), qRgb(255, 255, 255)));
    EXPECT_TRUE(SameColour(target.pixel(19, 9), qRgb(0, 0, 255)));
    EXPECT_TRUE(SameColour(target.pixel(20, 9), qRgb(255, 255, 255)));
    EXPECT_TRUE(SameColour(target.pixel(15, 10), qRgb(255, 255, 255)));
}

}  // namespace
