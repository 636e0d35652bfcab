// What the showcase's tests share: the example game running in-process on a
// real main view, driven tick by tick, key by key and frame by frame.
#pragma once

#include "HostTestSupport.h"

#include <QCryptographicHash>
#include <QImage>

namespace mcb {

namespace showcase {

inline std::string exampleImage() { return MCB_BINARY_DIR "/examples/bricks/index.mcb"; }

// Global indices of the game's state (the G_ constants of bricks.s); kState to
// kNewRecord is the whole play state.
enum Global { kState = 2, kFrame = 3, kSeed = 5, kScore = 6, kBallX = 12, kNewRecord = 27, kSoundWall = 29, kSoundStart = 36 };
enum State { kServe = 1 };

// The game in a scratch folder, its view 800 x 480, its timer left alone:
// the tests tick it themselves.
class Game : public hosttest::HostView {
protected:
    void SetUp() override {
        HostView::SetUp();
        setenv("PULSE_SERVER", ("unix:" + dir.path("no-sound-server")).c_str(), 1);
    }
    void launchGame() {
        std::ifstream in(exampleImage(), std::ios::binary);
        ASSERT_TRUE(in) << exampleImage();
        dir.write("index.mcb", std::string(std::istreambuf_iterator<char>(in), {}));
        make().resize(800, 480);
        view->start();
        view->show();
        QApplication::processEvents();
    }
    VirtualMachine& vm() { return *VirtualMachine::current(); }
    void tick(int n = 1) {
        for (int i = 0; i < n; ++i) vm().systemTimer(VMAddr(global(0)));
    }
    void key(Qt::Key k) { QTest::keyClick(view.get(), k); }
    void pointer(TInt32 kind, int x, int y) { vm().pointerEvent(kind, x, y, 0); }
    // Paints one frame and returns it.
    QImage frame() {
        view->repaint();
        return view->buffer().toImage();
    }
};

inline std::string hashOf(const QImage& image) {
    QImage i = image.convertToFormat(QImage::Format_ARGB32);
    QByteArray bytes(reinterpret_cast<const char*>(i.constBits()), i.sizeInBytes());
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex().toStdString();
}

}  // namespace showcase

}  // namespace mcb
