#include "widgets/look/RzGraphics.h"

#include <algorithm>
#include <cmath>

namespace Rz {

namespace {

constexpr double Scale = 240.0;

struct Hls
{
    int hue;
    int luminance;
    int saturation;
};

Hls ToHls(const QColor &color)
{
    const double red = color.red() / 255.0;
    const double green = color.green() / 255.0;
    const double blue = color.blue() / 255.0;
    const double high = std::max({red, green, blue});
    const double low = std::min({red, green, blue});
    const double luminance = (high + low) / 2;
    double hue = 0;
    double saturation = 0;
    if (high != low) {
        const double delta = high - low;
        saturation = luminance <= 0.5 ? delta / (high + low) : delta / (2 - high - low);
        if (red == high)
            hue = (green - blue) / delta;
        else if (green == high)
            hue = 2 + (blue - red) / delta;
        else
            hue = 4 + (red - green) / delta;
        hue /= 6;
        if (hue < 0)
            hue += 1;
    }
    return {int(std::lround(hue * Scale)) % int(Scale), int(std::lround(luminance * Scale)),
            int(std::lround(saturation * Scale))};
}

double HueToChannel(double p, double q, double hue)
{
    if (hue < 0)
        hue += 1;
    if (hue > 1)
        hue -= 1;
    if (hue < 1.0 / 6)
        return p + (q - p) * 6 * hue;
    if (hue < 0.5)
        return q;
    if (hue < 2.0 / 3)
        return p + (q - p) * (2.0 / 3 - hue) * 6;
    return p;
}

int ToByte(double channel)
{
    return std::clamp(int(std::lround(channel * 255)), 0, 255);
}

QColor FromHls(const Hls &hls)
{
    const double hue = hls.hue / Scale;
    const double luminance = hls.luminance / Scale;
    const double saturation = hls.saturation / Scale;
    if (hls.saturation == 0) {
        const int grey = ToByte(luminance);
        return QColor(grey, grey, grey);
    }
    const double q = luminance < 0.5 ? luminance * (1 + saturation)
                                     : luminance + saturation - luminance * saturation;
    const double p = 2 * luminance - q;
    return QColor(ToByte(HueToChannel(p, q, hue + 1.0 / 3)), ToByte(HueToChannel(p, q, hue)),
                  ToByte(HueToChannel(p, q, hue - 1.0 / 3)));
}

} // namespace

QColor AdjustColorLuminance(const QColor &color, int amount)
{
    if (amount == 0)
        return color;
    Hls hls = ToHls(color);
    hls.luminance =
        amount > 0 ? std::min(hls.luminance + amount, 255) : std::max(hls.luminance + amount, 0);
    return FromHls(hls);
}

} // namespace Rz
