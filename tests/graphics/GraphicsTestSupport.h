// What the graphics tests share: the offscreen Qt application (800 x 480, DejaVu
// Sans) with the graphics natives installed, assembly for native calls, test
// pictures, a canvas handed to bytecode, and reading a bitmap global's pixels.
#pragma once

#include "../support/NativeProgram.h"
#include "../support/Outcome.h"
#include "../support/QtApp.h"
#include "graphics/BitmapContainer.h"
#include "graphics/GraphicsHandle.h"
#include "natives/graphics/GraphicsNatives.h"

#include <QBuffer>
#include <QFont>
#include <QImage>
#include <QPainter>

#include <cstdlib>

namespace mcb {

namespace gfxtest {

constexpr TUint32 kBlack = 0xFF000000, kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF;

class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        ensureQtApp();
        QApplication::setFont(QFont("DejaVu Sans"));  // the same text on every machine
        graphics::installNatives();
    }
};

inline ::testing::Environment* const kQtEnvironment = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

// One operand: a number, or code that pushes something.
struct Arg {
    std::string code;
    Arg(long long value) : code("push " + std::to_string(value) + "\n") {}
    explicit Arg(std::string c) : code(std::move(c)) {}
};
// The address of global g: a reference to the handle or object it holds.
inline Arg G(int g) { return Arg("ldglobals\nfielda " + std::to_string(g) + "\n"); }
// The value of global g (a cell, for strings and fonts kept there).
inline Arg V(int g) { return Arg("@load " + std::to_string(g) + "\n"); }
// A string constant named in the program's extra lines.
inline Arg S(const std::string& name) { return Arg("ldstr " + name + "\n"); }
inline Arg F(double v) { return Arg(pushFixed(ORaw::fromRaw(TInt64(v * 4294967296.0)))); }
// The word C++ hands over through "extcall 20, 99".
inline const Arg kHandOver = Arg("extcall 20, 99\n");

// A native call on the operands.
inline std::string call(const std::string& native, std::initializer_list<Arg> args) {
    std::string out;
    for (const Arg& a : args) out += a.code;
    return out + "native " + native + "\n";
}
// A call whose one-word result goes to global g.
inline std::string callTo(int g, const std::string& native, std::initializer_list<Arg> args) {
    return call(native, args) + "@store " + std::to_string(g) + "\n";
}
// A new w x h bitmap of one colour in global g.
inline std::string bitmap(int g, int w, int h, TUint32 colour) { return call("Bitmap.create", {G(g), w, h, colour}); }

inline std::vector<TUint8> encoded(const QImage& image, const char* format = "png") {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return std::vector<TUint8>(bytes.begin(), bytes.end());
}

// The container of the bitmap handle in global g (null for an empty bitmap).
inline BitmapContainer* containerIn(NativeProgram& p, int g) { return graphics::bitmapOf(p.vm.heap(), p.word(g)); }
// The pixels of the bitmap in global g as they stand.
inline QImage pictureIn(NativeProgram& p, int g) {
    BitmapContainer* c = containerIn(p, g);
    return c ? c->picture() : QImage();
}

// True when every channel of a and b differs by at most `tolerance`.
inline bool near(TUint32 a, TUint32 b, int tolerance) {
    for (int shift = 0; shift < 32; shift += 8)
        if (std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)) > tolerance) return false;
    return true;
}

// A scratch folder for application files, with an empty and a textual "png".
struct ScratchFiles : Scratch {
    ScratchFiles() {
        write("zero.png", "");
        write("text.png", "no pic");
    }
    void put(const std::string& name, const std::vector<TUint8>& bytes) const {
        write(name, std::string(bytes.begin(), bytes.end()));
    }
};

// A pixmap canvas that bytecode receives as a canvas handle through "extcall 20, 99".
struct Canvas {
    QPixmap pixmap{40, 30};
    explicit Canvas(TUint32 colour = 0xFF000000) { pixmap.fill(QColor::fromRgba(colour)); }
    std::function<void(NativeProgram&)> handOver() {
        return [this](NativeProgram& p) {
            p.handOver = [this, &p] {
                VMHeap& heap = p.vm.heap();
                return TInt32(graphics::newCanvasHandle(heap, graphics::newCanvasSurface(heap, &pixmap)));
            };
        };
    }
    TUint32 pixel(int x, int y) const { return pixmap.toImage().pixel(x, y); }
};

}  // namespace gfxtest

}  // namespace mcb
