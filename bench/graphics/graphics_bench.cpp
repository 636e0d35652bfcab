// One 800 x 480 frame per call of an assembled draw method on a canvas — a
// tiled background, 100 sprites at alpha 255 and 128, 10 rotated and scaled,
// 50 rectangles, 50 lines, 20 bitmap-font and 5 platform-font strings — and
// the same frame drawn by a plain QPainter loop in the same run. Both frames
// must come out equal. Line: graphics_frame PLAYER_SECONDS REFERENCE_SECONDS
// RATIO, seconds per frame, best of 3 runs.
#include "graphics/GraphicsContainer.h"
#include "graphics/GraphicsHandle.h"
#include "natives/graphics/GraphicsNatives.h"
#include "io/AppFiles.h"
#include "io/AppPath.h"
#include "io/CAppsFileReader.h"
#include "io/MemoryInputStream.h"
#include "mcbasm/Assembler.h"
#include "vm/FrameworkServices.h"
#include "vm/VirtualMachine.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <ctime>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace mcb {

namespace {

constexpr int kWidth = 800, kHeight = 480, kFrames = 500;
constexpr int kGlyphWidth = 12, kGlyphs = 95, kFontHeight = 20;
constexpr TUint32 kTextColour = 0xFFFFEE88, kNativeColour = 0xC0FFFFFF;

// --- the pictures ------------------------------------------------------------------

QImage tileImage() {
    QImage image(64, 64, QImage::Format_ARGB32);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) image.setPixel(x, y, qRgb(x * 4, y * 4, ((x ^ y) & 8) ? 160 : 40));
    return image;
}

// A disc with a soft, translucent edge.
QImage spriteImage() {
    QImage image(32, 32, QImage::Format_ARGB32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            double d = std::hypot(x - 15.5, y - 15.5);
            int alpha = d < 12 ? 255 : d < 16 ? int(255 * (16 - d) / 4) : 0;
            image.setPixel(x, y, qRgba(255, x * 8, y * 8, alpha));
        }
    return image;
}

// Glyphs of characters 32 to 126 side by side, each with its own pattern;
// column 0 marks an ascent of 15, the last row each glyph's end.
QImage fontImage() {
    QImage image(2 + kGlyphs * kGlyphWidth, kFontHeight + 1, QImage::Format_ARGB32);
    image.fill(0xFF000000);
    for (int y = 0; y < 15; ++y) image.setPixel(0, y, 0xFF0000FF);
    for (int g = 0; g < kGlyphs; ++g) {
        int left = 1 + g * kGlyphWidth;
        image.setPixel(left + kGlyphWidth, kFontHeight, 0xFF0000FF);
        for (int y = 2; y < kFontHeight - 2; ++y)
            for (int x = 1; x < kGlyphWidth - 2; ++x)
                if (((x * 7 + y * 3 + g) % 5) < 2) image.setPixel(left + x, y, 0xFF000000u | TUint32((x * 40 + g) & 0xFF));
    }
    return image;
}

std::vector<TUint8> png(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "png");
    return std::vector<TUint8>(bytes.begin(), bytes.end());
}

// --- the frame, as a list of operations ----------------------------------------------

struct Sprite {
    int x, y, alpha;
};
struct Turned {
    int x, y;
    double angle, scale;
};
struct Box {
    int x, y, w, h;
    TUint32 colour;
};
struct Text {
    int x, y;
    std::string text;
};

struct Frame {
    std::vector<Sprite> sprites;
    std::vector<Turned> turned;
    std::vector<Box> rects, lines;
    std::vector<Text> bitmapTexts, nativeTexts;
};

// Fixed-point angles and scales as the bytecode passes them, read back as the natives read them.
double fixedValue(double v) { return double(TInt64(v * 4294967296.0)) / 4294967296.0; }

Frame frame() {
    Frame f;
    for (int i = 0; i < 100; ++i) f.sprites.push_back({(i * 37) % 770, (i * 53) % 450, i % 2 ? 128 : 255});
    for (int i = 0; i < 10; ++i) f.turned.push_back({60 + i * 75, 240 + (i % 3) * 40, fixedValue(i * 0.35), fixedValue(1 + i * 0.1)});
    for (int i = 0; i < 50; ++i)
        f.rects.push_back({(i * 61) % 760, (i * 29) % 450, 20 + i % 30, 10 + i % 20, 0xFF000000u | TUint32(i * 5000011)});
    for (int i = 0; i < 50; ++i)
        f.lines.push_back({(i * 17) % 800, (i * 31) % 480, (i * 71) % 800, (i * 13) % 480, 0xFF00FF00u | TUint32(i * 5)});
    for (int i = 0; i < 20; ++i) f.bitmapTexts.push_back({10 + (i % 4) * 190, 10 + i * 23, "Score " + std::to_string(i * 1234)});
    for (int i = 0; i < 5; ++i) f.nativeTexts.push_back({420, 40 + i * 80, "Level " + std::to_string(i + 1)});
    return f;
}

// --- the player's side: an assembled draw method ---------------------------------------

std::string push(long long v) { return "    push " + std::to_string(v) + "\n"; }
std::string pushFixed(double v) {
    TInt64 raw = TInt64(v * 4294967296.0);
    return "    push64 " + std::to_string(TUint32(TUint64(raw))) + ", " + std::to_string(TUint32(TUint64(raw) >> 32)) + "\n";
}
const std::string kCanvas = "    ldloca -2\n";
std::string global(int g) { return "    ldglobals\n    fielda " + std::to_string(g) + "\n"; }
std::string value(int g) { return global(g) + "    deref\n"; }

// Globals: 0 the application, 1 the tile, 2 the sprite, 3 the bitmap font's cell, 4 the platform font's cell, 5 frames drawn.
std::string program(const Frame& f) {
    std::string strings, draw;
    int n = 0;
    auto text = [&](const std::string& s) {
        std::string name = "s" + std::to_string(n++);
        strings += ".string " + name + " \"" + s + "\"\n";
        return "    ldstr " + name + "\n";
    };
    draw += kCanvas + global(1) + push(0) + push(0) + push(kWidth) + push(kHeight) + push(0) + push(0) + push(255) +
            "    native Graphics.draw_tiled\n";
    for (const Sprite& s : f.sprites)
        draw += kCanvas + global(2) + push(s.x) + push(s.y) + push(s.alpha) + "    native Graphics.draw_bitmap_at\n";
    for (const Turned& t : f.turned)
        draw += kCanvas + global(2) + push(t.x) + push(t.y) + pushFixed(t.angle) + pushFixed(t.scale) + pushFixed(t.scale) +
                push(255) + "    native Graphics.draw_transformed\n";
    for (const Box& r : f.rects)
        draw += kCanvas + push(r.x) + push(r.y) + push(r.w) + push(r.h) + push(r.colour) + "    native Graphics.fill_rect\n";
    for (const Box& l : f.lines)
        draw += kCanvas + push(l.x) + push(l.y) + push(l.w) + push(l.h) + push(l.colour) + "    native Graphics.draw_line\n";
    for (const Text& t : f.bitmapTexts)
        draw += kCanvas + text(t.text) + push(t.x) + push(t.y) + push(kTextColour) + value(3) + "    native Graphics.draw_string\n";
    for (const Text& t : f.nativeTexts)
        draw += kCanvas + text(t.text) + push(t.x) + push(t.y) + push(kNativeColour) + value(4) + "    native Graphics.draw_string\n";
    return R"(.globals 6
.method "main", main, frame0
.method "<*application>.draw to<canvas>", draw, frame2
.class App
.descriptor frame0
.descriptor frame2
    .lengths 2, 0, 0
    .refs 0
.string tile "tile.png"
.string sprite "sprite.png"
.string font "font.png"
)" + strings + R"(.code
main:
    alloc 1, 1
    dup
    setclass App
    native System.set_application
)" + global(1) + "    ldstr tile\n    native Bitmap.load_file\n" + global(2) +
           "    ldstr sprite\n    native Bitmap.load_file\n" + global(3) +
           "    ldstr font\n    native System.image_from_file\n    store\n" + global(4) +
           "    native System.default_font\n    store\n    ret 0, 1\ndraw:\n" + draw + global(5) + "    incm\n    ret 0, 3\n";
}

class BenchHost : public FrameworkServices {
public:
    explicit BenchHost(const std::string& root) : files_(root) {}
    std::unique_ptr<CAppsFileReader> openForReading(const OString& path, TInt32) override {
        return files_.openForReading(path);
    }

private:
    AppFiles files_;
};

// Draws frames through the draw method as the main view does: a fresh canvas per paint.
class Player {
public:
    Player(const std::string& root, const Frame& f) : host_(root) {
        std::vector<uint8_t> image = mcbasm::assemble(program(f));
        VELMAR::MemoryInputStream stream(image);
        vm_.load(CAppsString("index.mcb"), stream, &host_);
    }
    void paint(QPixmap& target) {
        VMHeap& heap = vm_.heap();
        VMAddr surface = graphics::newCanvasSurface(heap, &target);
        VMAddr handle = graphics::newCanvasHandle(heap, surface);
        heap.addRoot(handle);
        vm_.draw(handle);
        heap.objectAs<GraphicsContainer>(surface)->endPainting();
        heap.removeRoot(handle);
    }
    TUint32 framesDrawn() { return vm_.memory().readWord(vm_.globals() + 20); }

private:
    BenchHost host_;
    VirtualMachine vm_;
};

// --- the reference: the same frame with QPainter alone -----------------------------------

class Reference {
public:
    explicit Reference(const Frame& f) : frame_(f) {
        tile_ = QPixmap::fromImage(tileImage());
        sprite_ = QPixmap::fromImage(spriteImage());
        QImage font = fontImage();
        QImage coverage(font.size(), QImage::Format_Indexed8);
        coverage.fill(0);
        for (int y = 0; y < kFontHeight; ++y)
            for (int x = 0; x < font.width(); ++x) coverage.scanLine(y)[x] = uchar(font.pixel(x, y) & 0xFF);
        QList<QRgb> table(256);
        for (int i = 0; i < 256; ++i) table[i] = qRgba(qRed(kTextColour), qGreen(kTextColour), qBlue(kTextColour), i);
        coverage.setColorTable(table);
        glyphs_ = QPixmap::fromImage(coverage);
    }

    void paint(QPixmap& target) {
        QPainter p(&target);
        QFont font = p.font();
        font.setPixelSize(40);
        p.setFont(font);
        p.setRenderHint(QPainter::SmoothPixmapTransform, false);
        p.setRenderHint(QPainter::Antialiasing, false);
        p.drawTiledPixmap(QRect(0, 0, kWidth, kHeight), tile_, QPoint(0, 0));
        for (const Sprite& s : frame_.sprites) {
            if (s.alpha == 255) {
                p.drawPixmap(s.x, s.y, sprite_);
                continue;
            }
            p.save();
            p.setOpacity(s.alpha / 255.0);
            p.drawPixmap(s.x, s.y, sprite_);
            p.restore();
        }
        for (const Turned& t : frame_.turned) {
            p.save();
            p.translate(t.x, t.y);
            p.rotate(-(t.angle * 180 / 3.141));
            p.scale(t.scale, t.scale);
            p.translate(-sprite_.width() / 2.0, -sprite_.height() / 2.0);
            p.drawPixmap(0, 0, sprite_);
            p.restore();
        }
        for (const Box& r : frame_.rects) p.fillRect(r.x, r.y, r.w, r.h, QColor::fromRgba(r.colour));
        for (const Box& l : frame_.lines) {
            p.setPen(QPen(QColor::fromRgba(l.colour)));
            p.drawLine(l.x, l.y, l.w, l.h);
        }
        for (const Text& t : frame_.bitmapTexts) {
            int x = t.x;
            for (char c : t.text) {
                int left = 1 + (c - 32) * kGlyphWidth;
                p.drawPixmap(QPoint(x, t.y), glyphs_, QRect(left, 0, kGlyphWidth, kFontHeight));
                x += kGlyphWidth;
            }
        }
        for (const Text& t : frame_.nativeTexts) {
            p.save();
            p.setPen(QColor::fromRgba(kNativeColour));
            p.drawText(QRectF(t.x, t.y, 32768, 32768), Qt::AlignLeft | Qt::AlignTop, QString::fromStdString(t.text));
            p.restore();
        }
    }

private:
    const Frame& frame_;
    QPixmap tile_, sprite_, glyphs_;
};

// Process CPU time, which other work on a shared machine disturbs little.
double cpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

double secondsPerFrame(const std::function<void()>& paint) {
    double start = cpuSeconds();
    for (int i = 0; i < kFrames; ++i) paint();
    return (cpuSeconds() - start) / kFrames;
}

void write(const std::string& path, const std::vector<TUint8>& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

}  // namespace

}  // namespace mcb

int main(int argc, char** argv) {
    using namespace mcb;
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    std::string root = (std::filesystem::temp_directory_path() / "mcbgfxbenchXXXXXX").string();
    if (!mkdtemp(root.data())) return 1;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(root));
    QGuiApplication app(argc, argv);
    QGuiApplication::setFont(QFont("DejaVu Sans"));  // the same text on every machine
    graphics::installNatives();
    write(root + "/tile.png", png(tileImage()));
    write(root + "/sprite.png", png(spriteImage()));
    write(root + "/font.png", png(fontImage()));

    const Frame f = frame();
    QPixmap playerFrame(kWidth, kHeight), referenceFrame(kWidth, kHeight);
    double player = 1e9, reference = 1e9;
    int status = 0;
    try {
        Player vm(root, f);
        Reference ref(f);
        for (int run = 0; run < runs; ++run) {
            player = std::min(player, secondsPerFrame([&] { vm.paint(playerFrame); }));
            reference = std::min(reference, secondsPerFrame([&] { ref.paint(referenceFrame); }));
        }
        if (vm.framesDrawn() != TUint32(runs * kFrames)) {
            std::fprintf(stderr, "bench_graphics: the draw method did not finish every frame\n");
            status = 1;
        } else if (playerFrame.toImage() != referenceFrame.toImage()) {
            std::fprintf(stderr, "bench_graphics: the player's frame differs from the reference frame\n");
            status = 1;
        }
    } catch (...) {
        std::fprintf(stderr, "bench_graphics: the program failed: %s\n", vmerr::pendingErrorTextUtf8().c_str());
        status = 1;
    }
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
    if (status == 0) std::printf("%-16s %10.6f %10.6f %6.2f\n", "graphics_frame", player, reference, player / reference);
    return status;
}
