#include "badges/badgeimages.h"

#include <QFont>
#include <QPainter>
#include <QTest>

namespace {

QImage solid(int width, int height, QColor color)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(color);
    return image;
}

// Rows whose every pixel has the colour.
QList<int> rowsOf(const QImage &image, QColor color)
{
    QList<int> rows;
    for (int y = 0; y < image.height(); ++y) {
        bool all = true;
        for (int x = 0; x < image.width() && all; ++x)
            all = image.pixelColor(x, y) == color;
        if (all)
            rows.append(y);
    }
    return rows;
}

QList<int> range(int from, int to)
{
    QList<int> rows;
    for (int y = from; y < to; ++y)
        rows.append(y);
    return rows;
}

} // namespace

class TestComposeOverlay : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void stripSitsOnTheBottom_data();
    void stripSitsOnTheBottom();
    void durationText_data();
    void durationText();
    void nullImages();
};

void TestComposeOverlay::stripSitsOnTheBottom_data()
{
    QTest::addColumn<QSize>("strip");
    QTest::addColumn<QList<int>>("stripRows");

    // 40x30 base: a strip of the full width is flush with the bottom edge.
    QTest::newRow("full width") << QSize(40, 6) << range(24, 30);
    // Scaled up to 40x6 but placed by its own height 3: the rest is clipped.
    QTest::newRow("half width") << QSize(20, 3) << range(27, 30);
    // Scaled down to 40x2, still placed 4 rows above the bottom.
    QTest::newRow("double width") << QSize(80, 4) << range(26, 28);
}

void TestComposeOverlay::stripSitsOnTheBottom()
{
    QFETCH(QSize, strip);
    QFETCH(QList<int>, stripRows);

    const QImage composed
        = composeOverlay(solid(40, 30, Qt::red), solid(strip.width(), strip.height(), Qt::blue), 0);
    QCOMPARE(composed.size(), QSize(40, 30));
    QCOMPARE(composed.format(), QImage::Format_ARGB32_Premultiplied);
    QCOMPARE(rowsOf(composed, Qt::blue), stripRows);
    QList<int> baseRows;
    for (int y = 0; y < 30; ++y) {
        if (!stripRows.contains(y))
            baseRows.append(y);
    }
    QCOMPARE(rowsOf(composed, Qt::red), baseRows);
}

void TestComposeOverlay::durationText_data()
{
    QTest::addColumn<qulonglong>("seconds");
    QTest::addColumn<QString>("text");

    QTest::newRow("65 s") << 65ull << QStringLiteral("1:05 ");
    QTest::newRow("9 s") << 9ull << QStringLiteral("0:09 ");
    QTest::newRow("59:59") << 3599ull << QStringLiteral("59:59 ");
    QTest::newRow("no text at 0 s") << 0ull << QString();
    QTest::newRow("an hour is no valid time") << 3600ull << QStringLiteral(" ");
}

void TestComposeOverlay::durationText()
{
    QFETCH(qulonglong, seconds);
    QFETCH(QString, text);

    const QImage base = solid(120, 40, Qt::darkGray);
    const QImage strip = solid(120, 16, Qt::black);
    const QImage plain = composeOverlay(base, strip, 0);
    const QImage withText = composeOverlay(base, strip, seconds);

    QImage expected = plain;
    QPainter painter(&expected);
    painter.setFont(QFont(QStringLiteral("Arial"), 8));
    painter.setPen(Qt::white);
    painter.drawText(QRect(0, 24, 120, 16), Qt::AlignRight, text);
    painter.end();
    QCOMPARE(withText, expected);
    if (text.trimmed().isEmpty())
        return;
    // Text only on the strip's right half.
    QVERIFY(withText != plain);
    QCOMPARE(withText.copy(0, 0, 120, 24), plain.copy(0, 0, 120, 24));
    QCOMPARE(withText.copy(0, 24, 60, 16), plain.copy(0, 24, 60, 16));
}

void TestComposeOverlay::nullImages()
{
    const QImage base = solid(20, 10, Qt::green);
    QCOMPARE(composeOverlay(base, QImage(), 0), base);
    QCOMPARE(composeOverlay(base, QImage(), 0).format(), QImage::Format_ARGB32_Premultiplied);
    QVERIFY(composeOverlay(QImage(), solid(20, 4, Qt::blue), 65).isNull());
}

QTEST_MAIN(TestComposeOverlay)
#include "tst_composeoverlay.moc"
