// Writes the application's artwork into resources/: SpriteSheet.png, the alarm animation (a bell
// swinging and ringing, 100 frames of 256 x 256, 10 to a row, looping seamlessly), and Horn.wav,
// a synthesised air-horn blast. Run it by hand after changing the artwork and commit the output:
//   tallybell-generate-resources [output folder]
#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QSaveFile>
#include <QString>
#include <QVector>
#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <numbers>
#include <vector>

namespace {

// Sheet geometry; the alarm window reads frame n at (256 * (n mod 10), 256 * (n div 10)).
constexpr int frameSize = 256;
constexpr int framesPerRow = 10;
constexpr int frameCount = 100;

// Motion, in whole cycles per loop so that frame 99 flows into frame 0.
constexpr int swingsPerLoop = 5;
constexpr double swingDegrees = 24.0;
constexpr double clapperLagFrames = 3.0;
constexpr int ringPeriodFrames = 10; // a ring leaves the bell twice per swing
constexpr int ringsVisible = 3;

const QColor outline(0x4a, 0x2c, 0x05);
const QColor gold(0xf6, 0xb7, 0x1a);
const QColor goldShade(0xd0, 0x86, 0x05);
const QColor goldLight(0xff, 0xe2, 0x7a);
const QColor clapper(0x6b, 0x3c, 0x0c);
const QColor ringRed(0xe5, 0x2d, 0x27);

// The palette's colours; every one comes in 15 alpha steps so antialiased edges stay smooth.
const std::vector<QColor> baseColours = {
    outline,
    gold,
    goldShade,
    goldLight,
    clapper,
    ringRed,
    QColor(0xa0, 0x72, 0x10), // outline-to-gold blend
    QColor(0x8c, 0x5a, 0x06), // outline-to-shade blend
    QColor(0xe3, 0x9e, 0x10), // gold-to-shade blend
    QColor(0xfb, 0xcc, 0x4a), // gold-to-light blend
    QColor(0x97, 0x2c, 0x19), // outline-to-red blend
    QColor(0xff, 0xff, 0xff),
};
constexpr int alphaSteps = 15;

double phaseOf(double frame, int cyclesPerLoop) {
    return 2.0 * std::numbers::pi * cyclesPerLoop * frame / frameCount;
}

QPainterPath bellBody() {
    QPainterPath body;
    body.moveTo(-26, 34);
    body.cubicTo(-26, 6, 26, 6, 26, 34);
    body.cubicTo(28, 74, 42, 98, 64, 114);
    body.lineTo(-64, 114);
    body.cubicTo(-42, 98, -28, 74, -26, 34);
    body.closeSubpath();
    return body;
}

void drawClapper(QPainter& p, double degrees) {
    p.save();
    p.translate(0, 40);
    p.rotate(degrees);
    p.setPen(QPen(outline, 4));
    p.setBrush(clapper);
    p.drawRect(QRectF(-4, 0, 8, 82));
    p.drawEllipse(QPointF(0, 90), 13, 13);
    p.restore();
}

// The bell in its own coordinates: hanging from the origin, mouth down.
void drawBell(QPainter& p, double clapperDegrees) {
    drawClapper(p, clapperDegrees);
    const QPen pen(outline, 5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(gold);
    p.drawEllipse(QPointF(0, 6), 11, 11); // the crown it hangs from
    const QPainterPath body = bellBody();
    p.setPen(Qt::NoPen);
    p.drawPath(body);
    p.save();
    p.setClipPath(body);
    p.setBrush(goldShade);
    p.drawEllipse(QRectF(14, 0, 90, 130));
    p.setBrush(goldLight);
    p.drawEllipse(QRectF(-17, 20, 11, 80));
    p.restore();
    // The outline goes on last so the shading never covers it.
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    p.drawPath(body);
    p.setBrush(goldShade);
    p.drawRoundedRect(QRectF(-74, 108, 148, 20), 10, 10); // the lip
    p.setPen(Qt::NoPen);
    p.setBrush(goldLight);
    p.drawRoundedRect(QRectF(-62, 112, 40, 5), 2.5, 2.5);
}

// Sound rings spreading out on both sides, one leaving every ringPeriodFrames.
void drawRings(QPainter& p, int frame, QPointF centre) {
    for (int i = 0; i < ringsVisible; ++i) {
        const double age = (frame % ringPeriodFrames) + i * ringPeriodFrames; // 0 .. 29
        const double life = age / (ringsVisible * ringPeriodFrames);
        const double radius = 84 + 42 * life;
        QColor colour = ringRed;
        colour.setAlphaF(static_cast<float>(std::clamp(1.0 - life * life * 1.1, 0.0, 1.0)));
        p.setPen(QPen(colour, 9 - 4 * life, Qt::SolidLine, Qt::RoundCap));
        p.setBrush(Qt::NoBrush);
        const QRectF circle(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);
        constexpr int sweep = 56 * 16;                // Qt angles are in sixteenths of a degree
        p.drawArc(circle, -28 * 16, sweep);           // right side
        p.drawArc(circle, 180 * 16 - 28 * 16, sweep); // left side
    }
}

QImage renderFrame(int frame) {
    QImage image(frameSize, frameSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    drawRings(p, frame, QPointF(128, 132));
    const double swing = swingDegrees * std::sin(phaseOf(frame, swingsPerLoop));
    const double lagging =
        swingDegrees * std::sin(phaseOf(frame - clapperLagFrames, swingsPerLoop));
    p.translate(128, 48);
    p.rotate(swing);
    drawBell(p, 0.8 * (lagging - swing));
    return image;
}

QVector<QRgb> palette() {
    QVector<QRgb> table{qRgba(0, 0, 0, 0)};
    for (const QColor& c : baseColours) {
        for (int step = 1; step <= alphaSteps; ++step) {
            table.push_back(qRgba(c.red(), c.green(), c.blue(), 255 * step / alphaSteps));
        }
    }
    return table;
}

int nearestBase(int r, int g, int b) {
    int best = 0;
    int bestDistance = INT32_MAX;
    for (int i = 0; i < static_cast<int>(baseColours.size()); ++i) {
        const QColor& c = baseColours[i];
        const int dr = r - c.red(), dg = g - c.green(), db = b - c.blue();
        const int distance = 3 * dr * dr + 4 * dg * dg + 2 * db * db;
        if (distance < bestDistance) {
            bestDistance = distance;
            best = i;
        }
    }
    return best;
}

uchar paletteIndex(QRgb premultiplied) {
    const int alpha = qAlpha(premultiplied);
    const int step = (alpha * alphaSteps + 127) / 255;
    if (step == 0) {
        return 0;
    }
    const QRgb plain = qUnpremultiply(premultiplied);
    const int base = nearestBase(qRed(plain), qGreen(plain), qBlue(plain));
    return static_cast<uchar>(1 + base * alphaSteps + (step - 1));
}

QImage spriteSheet() {
    QImage sheet(frameSize * framesPerRow, frameSize * (frameCount / framesPerRow),
                 QImage::Format_Indexed8);
    sheet.setColorTable(palette());
    for (int n = 0; n < frameCount; ++n) {
        const QImage frame = renderFrame(n);
        const int left = frameSize * (n % framesPerRow);
        const int top = frameSize * (n / framesPerRow);
        for (int y = 0; y < frameSize; ++y) {
            const auto* in = reinterpret_cast<const QRgb*>(frame.constScanLine(y));
            uchar* out = sheet.scanLine(top + y) + left;
            for (int x = 0; x < frameSize; ++x) {
                out[x] = paletteIndex(in[x]);
            }
        }
    }
    return sheet;
}

// --- Horn -------------------------------------------------------------------------------------

constexpr int sampleRate = 44100;
constexpr double hornSeconds = 1.6;
constexpr double attackSeconds = 0.04;
constexpr double releaseSeconds = 0.28;
constexpr double bendSeconds = 0.09; // the blast starts a little flat and settles, as horns do

struct Voice {
    double frequency;
    double level;
    bool square; // odd harmonics only
};

// Two horn notes a major third apart, each doubled slightly off pitch for the beating of a real
// multi-trumpet horn, over a square sub-octave for body.
const std::vector<Voice> voices = {
    {220.0, 1.0, false}, {221.7, 0.8, false}, {277.2, 0.9, false},
    {275.6, 0.7, false}, {110.0, 0.5, true},
};

double envelope(double t) {
    const double attack = std::min(1.0, t / attackSeconds);
    const double release = std::clamp((hornSeconds - t) / releaseSeconds, 0.0, 1.0);
    return attack * attack * std::sqrt(release);
}

// Band-limited: only harmonics below the Nyquist frequency, falling a little faster than a saw
// so the blast is brassy rather than buzzing.
double voiceSample(const Voice& v, double phase, double frequency) {
    static const std::vector<double> weights = [] {
        std::vector<double> w(sampleRate / 2);
        for (std::size_t k = 1; k < w.size(); ++k) {
            w[k] = 1.0 / std::pow(static_cast<double>(k), 1.15);
        }
        return w;
    }();
    double sum = 0.0;
    const int harmonics = static_cast<int>(0.45 * sampleRate / frequency);
    for (int k = 1; k <= harmonics; k += v.square ? 2 : 1) {
        sum += std::sin(k * phase) * weights[k];
    }
    return sum;
}

std::vector<std::int16_t> hornSamples() {
    const int count = static_cast<int>(hornSeconds * sampleRate);
    std::vector<double> mix(count, 0.0);
    for (const Voice& v : voices) {
        double phase = 0.0;
        for (int i = 0; i < count; ++i) {
            const double t = static_cast<double>(i) / sampleRate;
            const double bend = 1.0 - 0.06 * std::max(0.0, 1.0 - t / bendSeconds);
            const double frequency = v.frequency * bend * (1.0 + 0.003 * std::sin(2 * 3.1 * t));
            mix[i] += v.level * voiceSample(v, phase, frequency);
            phase = std::fmod(phase + 2.0 * std::numbers::pi * frequency / sampleRate,
                              2.0 * std::numbers::pi);
        }
    }
    double peak = 0.0;
    for (int i = 0; i < count; ++i) {
        mix[i] = std::tanh(1.6 * mix[i] / double(voices.size())) * envelope(double(i) / sampleRate);
        peak = std::max(peak, std::abs(mix[i]));
    }
    std::vector<std::int16_t> pcm(count);
    for (int i = 0; i < count; ++i) {
        pcm[i] = static_cast<std::int16_t>(std::lround(mix[i] / peak * 0.85 * 32767));
    }
    return pcm;
}

void appendLE32(QByteArray& out, std::uint32_t v) {
    char b[4];
    qToLittleEndian(v, b);
    out.append(b, 4);
}

void appendLE16(QByteArray& out, std::uint16_t v) {
    char b[2];
    qToLittleEndian(v, b);
    out.append(b, 2);
}

// A canonical 44-byte-header RIFF/WAVE file: 16-bit PCM, mono.
QByteArray wavFile(const std::vector<std::int16_t>& pcm) {
    const auto dataBytes = static_cast<std::uint32_t>(pcm.size() * 2);
    QByteArray out("RIFF");
    appendLE32(out, 36 + dataBytes);
    out.append("WAVEfmt ");
    appendLE32(out, 16);
    appendLE16(out, 1); // PCM
    appendLE16(out, 1); // mono
    appendLE32(out, sampleRate);
    appendLE32(out, sampleRate * 2);
    appendLE16(out, 2);
    appendLE16(out, 16);
    out.append("data");
    appendLE32(out, dataBytes);
    for (std::int16_t s : pcm) {
        appendLE16(out, static_cast<std::uint16_t>(s));
    }
    return out;
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        std::fprintf(stderr, "Cannot write %s: %s\n", qPrintable(path),
                     qPrintable(file.errorString()));
        return false;
    }
    return true;
}

bool writeSheet(const QString& path) {
    QSaveFile file(path);
    // Quality 0 asks the PNG writer for its strongest compression.
    if (!file.open(QIODevice::WriteOnly) || !spriteSheet().save(&file, "PNG", 0) ||
        !file.commit()) {
        std::fprintf(stderr, "Cannot write %s: %s\n", qPrintable(path),
                     qPrintable(file.errorString()));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    const QString folder =
        argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(TALLYBELL_RESOURCES_DIR);
    const bool ok = writeSheet(folder + "/SpriteSheet.png") &&
                    writeFile(folder + "/Horn.wav", wavFile(hornSamples()));
    if (ok) {
        std::printf("Wrote SpriteSheet.png and Horn.wav to %s\n", qPrintable(folder));
    }
    return ok ? 0 : 1;
}
