#include "sim/CardFace.h"

#include "base/TextCodec.h"
#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QTemporaryDir>

#include <memory>

namespace {

// Text is rendered only with a QGuiApplication; the program's window has
// one, the tests make one (offscreen).
class CardFaceTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        static int argc = 1;
        static char name[] = "CardFaceTest";
        static char* argv[] = {name, nullptr};
        s_app = std::make_unique<QGuiApplication>(argc, argv);
    }
    static void TearDownTestSuite() { s_app.reset(); }

    // The darkest grey value in the rows [top, bottom).
    static int Darkest(const QImage& image, int top, int bottom)
    {
        int darkest = 255;
        for (int y = top; y < bottom; ++y) {
            for (int x = 10; x < image.width() - 10; ++x) {
                darkest = std::min(darkest, qGray(image.pixel(x, y)));
            }
        }
        return darkest;
    }

    static std::unique_ptr<QGuiApplication> s_app;
};

std::unique_ptr<QGuiApplication> CardFaceTest::s_app;

TEST_F(CardFaceTest, EachPrintedLineHasItsOwnPosition)
{
    const std::vector<TPrintedText> texts = {
        {0, 23, Gbk("当前消费:100\r\n\r\n卡内余额:300\r\n")},
        {0, 350, "A\r\nB"},
        {0, 100, ""},
    };
    const std::vector<CardFace::TLine> lines = CardFace::Lines(texts);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0].Y, 23);
    EXPECT_EQ(lines[0].Text, QStringLiteral("当前消费:100"));
    EXPECT_EQ(lines[1].Y, 47);
    EXPECT_EQ(lines[1].Text, QString());
    EXPECT_EQ(lines[2].Y, 71);
    EXPECT_EQ(lines[4].Y, 374);
    EXPECT_EQ(CardFace::Text(lines), "y=23\t当前消费:100\ny=47\t\ny=71\t卡内余额:300\ny=350\tA\ny=374\tB\n");
}

TEST_F(CardFaceTest, RendersChineseTextInItsLinesOnly)
{
    const QImage image = CardFace::Render(CardFace::Lines({{0, 23, Gbk("当前消费:100\r\n\r\n欢迎")}}));
    ASSERT_EQ(image.size(), QSize(CardFace::Width, CardFace::Height));
    EXPECT_LT(Darkest(image, 23, 47), 100) << "first line drawn";
    EXPECT_EQ(Darkest(image, 48, 70), 255) << "the empty line stays white";
    EXPECT_LT(Darkest(image, 71, 95), 100) << "third line drawn";
    EXPECT_EQ(Darkest(image, 100, 380), 255);

    // The glyphs of two different Chinese words differ: the font has them.
    const QImage other = CardFace::Render(CardFace::Lines({{0, 23, Gbk("卡内余额:100")}}));
    EXPECT_NE(image.copy(0, 23, 200, 24), other.copy(0, 23, 200, 24));
}

TEST_F(CardFaceTest, SaveWritesTextAndAReadablePicture)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string folder = dir.path().toStdString() + "/";
    ASSERT_TRUE(CardFace::Save(folder, {{0, 23, Gbk("会员")}}));
    EXPECT_EQ(ReadFileBytes(folder + "CardFace.txt"), "y=23\t会员\n");
    QImage png;
    ASSERT_TRUE(png.load(QString::fromStdString(folder + "CardFace.png"), "PNG"));
    EXPECT_EQ(png.size(), QSize(CardFace::Width, CardFace::Height));
    EXPECT_LT(Darkest(png, 23, 47), 100);
}

} // namespace
