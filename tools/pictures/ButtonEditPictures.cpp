#include "ButtonEditPictures.h"

#include "Drawing.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <array>
#include <map>

namespace {

constexpr int Side = 10; // logical pixels of one image

// The colours of the pixel art, by the character that stands for them.
const std::map<char, const char *> &Colours()
{
    static const std::map<char, const char *> colours = {
        {'.', "None"},    {'#', "#000000"}, {'G', "#008000"}, {'R', "#C00000"},
        {'r', "#FF0000"}, {'Y', "#FFFF00"}, {'g', "#808080"}, {'w', "#FFFFFF"},
    };
    return colours;
}

const QColor Grey(0x80, 0x80, 0x80);
const QColor White(0xff, 0xff, 0xff);

// What the disabled image keeps of the normal one: its dark part; light
// colours (white, yellow) leave only the highlight.
bool IsDark(QRgb colour)
{
    return qAlpha(colour) != 0 && qGray(colour) < 128;
}

bool IsDark(char pixel)
{
    const char *colour = Colours().at(pixel);
    return pixel != '.' && IsDark(QColor(QLatin1String(colour)).rgba());
}

using Rows = std::array<const char *, Side>;

void DrawAccept(QPainter &p)
{
    // Two bands of three pixels' width meeting at a right angle.
    p.setBrush(QColor(0x00, 0x80, 0x00));
    p.drawPolygon(
        QPolygonF({{1.75, 4.25}, {3.5, 6}, {8.25, 1.25}, {9.75, 2.75}, {3.5, 9}, {0.25, 5.75}}));
}

void DrawReject(QPainter &p)
{
    QPainterPath cross;
    cross.setFillRule(Qt::WindingFill);
    cross.addPolygon(QPolygonF({{0.5, 1}, {2.5, 1}, {9.5, 8}, {7.5, 8}}));
    cross.closeSubpath();
    cross.addPolygon(QPolygonF({{7.5, 1}, {9.5, 1}, {2.5, 8}, {0.5, 8}}));
    cross.closeSubpath();
    p.setBrush(QColor(0xc0, 0x00, 0x00));
    p.drawPath(cross);
}

void DrawDropDown(QPainter &p)
{
    p.setBrush(Qt::black);
    p.drawPolygon(QPolygonF({{0.5, 3}, {8.5, 3}, {4.5, 7}}));
}

void DrawFind(QPainter &p)
{
    // The handle goes under the lens's rim.
    p.setBrush(Qt::black);
    p.drawPolygon(QPolygonF({{4.5, 4}, {9.5, 9}, {7.5, 9}, {3.5, 5}}));
    p.setPen(QPen(Qt::black, 0.75));
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(3, 3), 2.6, 2.6);
}

void DrawFolder(QPainter &p)
{
    // Outlines one device pixel wide, on device pixels.
    QPainterPath folder;
    folder.moveTo(0.25, 7.75);
    folder.lineTo(0.25, 2);
    folder.lineTo(1, 1.25);
    folder.lineTo(3.75, 1.25);
    folder.lineTo(4.75, 2.25);
    folder.lineTo(9, 2.25);
    folder.lineTo(9.75, 3);
    folder.lineTo(9.75, 7.75);
    folder.closeSubpath();
    p.setPen(QPen(Qt::black, 0.5, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
    p.setBrush(QColor(0xff, 0xff, 0x00));
    p.drawPath(folder);
}

void DrawCalendar(QPainter &p)
{
    // A sheet of 17 x 17 device pixels: a red heading over three rows of
    // four days, between lines one device pixel wide.
    p.fillRect(QRectF(0, 0, 8.5, 8.5), Qt::black);
    p.fillRect(QRectF(0.5, 0.5, 7.5, 1.5), QColor(0xff, 0x00, 0x00));
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 4; ++column)
            p.fillRect(QRectF(0.5 + 2 * column, 2.5 + 2 * row, 1.5, 1.5), Qt::white);
    }
}

void DrawLookup(QPainter &p)
{
    p.setBrush(Qt::black);
    for (const qreal x : {2.0, 5.0, 8.0})
        p.drawEllipse(QPointF(x, 6), 1, 1);
}

void DrawSearch(QPainter &p)
{
    // Binoculars: two barrels rounded at the bottom, their eyepieces and
    // the bridge between them.
    QPainterPath binoculars;
    binoculars.setFillRule(Qt::WindingFill);
    for (const qreal left : {0.0, 6.0}) {
        QPainterPath barrel;
        barrel.addRoundedRect(QRectF(left, 2, 4, 6), 1, 1);
        binoculars.addPath(barrel);
        binoculars.addRect(QRectF(left, 2, 4, 3)); // square shoulders
        binoculars.addRoundedRect(QRectF(left + 1, 0, 2, 2.5), 0.4, 0.4);
    }
    binoculars.addRect(QRectF(4, 4, 2, 1));
    p.setBrush(Qt::black);
    p.drawPath(binoculars);
}

struct Picture
{
    const char *name;
    Rows rows; // the normal image of the ordinary form
    void (*draw)(QPainter &);
};

const std::array<Picture, 8> &Pictures()
{
    static const std::array<Picture, 8> pictures = {{
        {"accept",
         {"..........", "........G.", ".......GG.", "......GGG.", ".G...GGG..", ".GG.GGG...",
          ".GGGGG....", "..GGG.....", "...G......", ".........."},
         DrawAccept},
        {"calendar",
         {"#########.", "#rrrrrrr#.", "#########.", "#w#w#w#w#.", "#########.", "#w#w#w#w#.",
          "#########.", "#w#w#w#w#.", "#########.", ".........."},
         DrawCalendar},
        {"dropdown",
         {"..........", "..........", "..........", ".#######..", "..#####...", "...###....",
          "....#.....", "..........", "..........", ".........."},
         DrawDropDown},
        {"find",
         {".####.....", "#wwww#....", "#wwww#....", "#wwww#....", "#wwww#....", ".####.....",
          ".....##...", "......##..", ".......##.", ".........."},
         DrawFind},
        {"folder",
         {"..........", ".###......", "#YYY#####.", "#YYYYYYYY#", "#YYYYYYYY#", "#YYYYYYYY#",
          "#YYYYYYYY#", "##########", "..........", ".........."},
         DrawFolder},
        {"lookup",
         {"..........", "..........", "..........", "..........", "..........", ".##.##.##.",
          ".##.##.##.", "..........", "..........", ".........."},
         DrawLookup},
        {"reject",
         {"..........", ".RR....RR.", "..RR..RR..", "...RRRR...", "....RR....", "...RRRR...",
          "..RR..RR..", ".RR....RR.", "..........", ".........."},
         DrawReject},
        {"search",
         {".##....##.", ".##....##.", "####..####", "####..####", "##########", "####..####",
          "####..####", ".##....##.", "..........", ".........."},
         DrawSearch},
    }};
    return pictures;
}

const Picture &Find(const QByteArray &name)
{
    const auto &pictures = Pictures();
    const auto found = std::find_if(pictures.begin(), pictures.end(),
                                    [&](const Picture &picture) { return name == picture.name; });
    Q_ASSERT(found != pictures.end());
    return *found;
}

// The disabled image: the dark part of the normal one in grey over a white
// highlight, the highlight shifted down and to the right by offset pixels.
QImage EmbossedForm(const QImage &normal, int offset)
{
    const QImage source = normal.convertToFormat(QImage::Format_ARGB32);
    QImage grey(source.size(), QImage::Format_ARGB32);
    QImage light(source.size(), QImage::Format_ARGB32);
    for (int y = 0; y < source.height(); ++y) {
        const QRgb *in = RgbLine(source, y);
        QRgb *greyLine = RgbLine(grey, y);
        QRgb *lightLine = RgbLine(light, y);
        for (int x = 0; x < source.width(); ++x) {
            const int alpha = IsDark(in[x]) ? qAlpha(in[x]) : 0;
            greyLine[x] = qRgba(Grey.red(), Grey.green(), Grey.blue(), alpha);
            lightLine[x] = qRgba(White.red(), White.green(), White.blue(), alpha);
        }
    }
    QImage result(source.size(), QImage::Format_ARGB32_Premultiplied);
    result.fill(Qt::transparent);
    QPainter p(&result);
    p.drawImage(offset, offset, light);
    p.drawImage(0, 0, grey);
    return result;
}

} // namespace

QList<QByteArray> ButtonEditPictureNames()
{
    QList<QByteArray> names;
    for (const Picture &picture : Pictures())
        names.append(picture.name);
    return names;
}

QByteArray ButtonEditXpm(const QByteArray &name)
{
    const Picture &picture = Find(name);
    QList<QByteArray> strip;
    for (int y = 0; y < Side; ++y) {
        QByteArray row = picture.rows[y];
        for (int x = 0; x < Side; ++x) {
            char pixel = '.';
            if (IsDark(picture.rows[y][x]))
                pixel = 'g';
            else if (x > 0 && y > 0 && IsDark(picture.rows[y - 1][x - 1]))
                pixel = 'w';
            row.append(pixel);
        }
        strip.append(row);
    }
    QByteArray used;
    for (const QByteArray &row : strip) {
        for (const char pixel : row) {
            if (!used.contains(pixel))
                used.append(pixel);
        }
    }
    std::sort(used.begin(), used.end());

    QByteArray xpm = "/* XPM */\n"
                     "/* Button edit picture: " +
                     name +
                     "; normal and disabled, 10 x 10 each. The\n"
                     "   disabled image is the dark part of the normal one in grey over a white\n"
                     "   highlight one pixel down and to the right. */\n"
                     "static const char *const " +
                     name + "[] = {\n";
    xpm += QByteArray("\"") + QByteArray::number(2 * Side) + ' ' + QByteArray::number(Side) + ' ' +
           QByteArray::number(used.size()) + " 1\",\n";
    for (const char pixel : used)
        xpm += QByteArray("\"") + pixel + " c " + Colours().at(pixel) + "\",\n";
    for (int y = 0; y < Side; ++y)
        xpm += '"' + strip[y] + (y + 1 < Side ? "\",\n" : "\"\n");
    xpm += "};\n";
    return xpm;
}

QImage DrawButtonEditPicture(const QByteArray &name)
{
    constexpr int scale = 2;
    QImage normal(Side * scale, Side * scale, QImage::Format_ARGB32_Premultiplied);
    normal.fill(Qt::transparent);
    {
        QPainter p(&normal);
        p.scale(scale, scale);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        Find(name).draw(p);
    }
    // The highlight sits one device pixel off: the outlines are one device
    // pixel wide, and a wider gap would show it as a second line.
    QImage both(2 * Side * scale, Side * scale, QImage::Format_ARGB32_Premultiplied);
    both.fill(Qt::transparent);
    {
        QPainter p(&both);
        p.drawImage(0, 0, normal);
        p.drawImage(Side * scale, 0, EmbossedForm(normal, 1));
    }
    both.setDevicePixelRatio(scale);
    return both;
}
