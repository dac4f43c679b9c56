#include "HistoryColourMap.h"

#include <vector>

namespace {

// Anchors at equal steps; the table interpolates linearly between them.
const std::vector<QRgb> sequentialAnchors = {
    0x440154, 0x482878, 0x3e4989, 0x31688e, 0x26828e,
    0x1f9e89, 0x35b779, 0x6ece58, 0xb5de2b, 0xfde725,
};

const std::vector<QRgb> divergingAnchors = {
    0x2166ac, 0x4393c3, 0x92c5de, 0xd1e5f0, 0xf7f7f7,
    0xfddbc7, 0xf4a582, 0xd6604d, 0xb2182b,
};

} // namespace

HistoryColourMap::HistoryColourMap(Kind kind) : kind_(kind)
{
    const std::vector<QRgb> &anchors = kind == Sequential ? sequentialAnchors : divergingAnchors;
    const double steps = double(anchors.size() - 1);
    for (size_t i = 0; i < table.size(); ++i) {
        const double position = double(i) / double(table.size() - 1) * steps;
        const size_t low = std::min(size_t(position), anchors.size() - 2);
        const double t = position - double(low);
        const auto mix = [t](int a, int b) { return int(std::lround(a + (b - a) * t)); };
        const QRgb a = anchors[low];
        const QRgb b = anchors[low + 1];
        table[i] = qRgb(mix(qRed(a), qRed(b)), mix(qGreen(a), qGreen(b)), mix(qBlue(a), qBlue(b)));
    }
}
