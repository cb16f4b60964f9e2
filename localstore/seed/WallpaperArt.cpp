#include "WallpaperArt.h"

#include "SeedRandom.h"

#include <QColor>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <array>
#include <cmath>

namespace {

// 5×7 glyphs, one byte per row, bit 4 is the leftmost column.
using Glyph = std::array<quint8, 7>;

const Glyph *glyphFor(QChar c)
{
    static const std::array<Glyph, 26> letters{{
        {0x0E, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}, {0x1E, 0x11, 0x11, 0x1E, 0x11, 0x11, 0x1E},
        {0x0E, 0x11, 0x10, 0x10, 0x10, 0x11, 0x0E}, {0x1C, 0x12, 0x11, 0x11, 0x11, 0x12, 0x1C},
        {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F}, {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x10},
        {0x0E, 0x11, 0x10, 0x17, 0x11, 0x11, 0x0F}, {0x11, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11},
        {0x0E, 0x04, 0x04, 0x04, 0x04, 0x04, 0x0E}, {0x07, 0x02, 0x02, 0x02, 0x02, 0x12, 0x0C},
        {0x11, 0x12, 0x14, 0x18, 0x14, 0x12, 0x11}, {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F},
        {0x11, 0x1B, 0x15, 0x15, 0x11, 0x11, 0x11}, {0x11, 0x11, 0x19, 0x15, 0x13, 0x11, 0x11},
        {0x0E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}, {0x1E, 0x11, 0x11, 0x1E, 0x10, 0x10, 0x10},
        {0x0E, 0x11, 0x11, 0x11, 0x15, 0x12, 0x0D}, {0x1E, 0x11, 0x11, 0x1E, 0x14, 0x12, 0x11},
        {0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E}, {0x1F, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04},
        {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}, {0x11, 0x11, 0x11, 0x11, 0x11, 0x0A, 0x04},
        {0x11, 0x11, 0x11, 0x15, 0x15, 0x15, 0x0A}, {0x11, 0x11, 0x0A, 0x04, 0x0A, 0x11, 0x11},
        {0x11, 0x11, 0x11, 0x0A, 0x04, 0x04, 0x04}, {0x1F, 0x01, 0x02, 0x04, 0x08, 0x10, 0x1F},
    }};
    static const std::array<Glyph, 10> digits{{
        {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}, {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E},
        {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}, {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E},
        {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}, {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E},
        {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}, {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08},
        {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}, {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C},
    }};
    static const Glyph hyphen{0x00, 0x00, 0x00, 0x1F, 0x00, 0x00, 0x00};
    const QChar upper = c.toUpper();
    if (upper >= QLatin1Char('A') && upper <= QLatin1Char('Z'))
        return &letters[std::size_t(upper.unicode() - 'A')];
    if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
        return &digits[std::size_t(c.unicode() - '0')];
    if (c == QLatin1Char('-'))
        return &hyphen;
    return nullptr; // drawn as a space
}

void drawPixelText(QPainter &painter, const QString &text, QPoint origin, int block, const QColor &color)
{
    for (int i = 0; i < text.size(); ++i) {
        const Glyph *glyph = glyphFor(text.at(i));
        if (!glyph)
            continue;
        const int left = origin.x() + i * 6 * block;
        for (int row = 0; row < 7; ++row)
            for (int col = 0; col < 5; ++col)
                if ((*glyph)[std::size_t(row)] & (0x10 >> col))
                    painter.fillRect(left + col * block, origin.y() + row * block, block, block, color);
    }
}

QColor hueColor(int hue, int saturation, int value, int alpha = 255)
{
    return QColor::fromHsv((hue % 360 + 360) % 360, saturation, value, alpha);
}

} // namespace

QImage renderWallpaperArt(quint64 artSeed, const QString &title, QSize size)
{
    SeedRandom random(artSeed);
    QImage image(size, QImage::Format_RGB32);
    QPainter painter(&image);
    const double w = size.width();
    const double h = size.height();
    const double unit = std::min(w, h);

    const int hue = random.bounded(360);
    const int spread = random.between(30, 150);
    const double angle = random.unit() * 2 * M_PI;
    QLinearGradient sky(QPointF(w / 2 - std::cos(angle) * w / 2, h / 2 - std::sin(angle) * h / 2),
                        QPointF(w / 2 + std::cos(angle) * w / 2, h / 2 + std::sin(angle) * h / 2));
    sky.setColorAt(0, hueColor(hue, random.between(120, 230), random.between(150, 250)));
    sky.setColorAt(0.55, hueColor(hue + spread / 2, random.between(90, 200), random.between(90, 190)));
    sky.setColorAt(1, hueColor(hue + spread, random.between(120, 230), random.between(30, 110)));
    painter.fillRect(image.rect(), sky);

    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    const int shapes = random.between(4, 8);
    for (int i = 0; i < shapes; ++i) {
        const QColor color = hueColor(hue + random.between(-40, spread + 40), random.between(60, 220),
                                      random.between(120, 255), random.between(50, 140));
        const QPointF centre(random.unit() * w, random.unit() * h);
        const double radius = unit * (0.08 + random.unit() * 0.45);
        switch (random.bounded(3)) {
        case 0: { // glowing disc
            QRadialGradient glow(centre, radius);
            glow.setColorAt(0, color);
            glow.setColorAt(1, QColor(color.red(), color.green(), color.blue(), 0));
            painter.setBrush(glow);
            painter.drawEllipse(centre, radius, radius);
            break;
        }
        case 1: { // rolling band across the whole width
            QPainterPath band;
            const double base = random.unit() * h;
            const double swell = unit * (0.05 + random.unit() * 0.2);
            band.moveTo(0, base);
            band.cubicTo(w * 0.33, base - swell, w * 0.66, base + swell, w, base - swell / 2);
            band.lineTo(w, h);
            band.lineTo(0, h);
            band.closeSubpath();
            painter.setBrush(color);
            painter.drawPath(band);
            break;
        }
        default: { // tilted slab
            painter.save();
            painter.translate(centre);
            painter.rotate(random.unit() * 180);
            painter.setBrush(color);
            painter.drawRect(QRectF(-radius, -radius / 4, 2 * radius, radius / 2));
            painter.restore();
            break;
        }
        }
    }

    painter.setRenderHint(QPainter::Antialiasing, false);
    const QString text = title.toUpper();
    const int fitting = int(w * 0.84 / double(std::max<qsizetype>(1, text.size() * 6)));
    const int block = std::max(1, std::min(int(unit / 70), fitting));
    const QPoint origin(int(w * 0.06), int(h * 0.88) - 7 * block);
    const int shadow = std::max(1, block / 3);
    drawPixelText(painter, text, origin + QPoint(shadow, shadow), block, QColor(0, 0, 0, 110));
    drawPixelText(painter, text, origin, block, QColor(255, 255, 255, 235));
    return image;
}
