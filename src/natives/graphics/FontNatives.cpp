// The Font native group (20): a font's height and ascent and the width of
// text in it; and the System hooks that make the default font and bitmap
// fonts, installed here together with the three graphics groups.
#include "natives/graphics/BitmapLoading.h"
#include "graphics/CAppsFont.h"
#include "natives/graphics/GraphicsArgs.h"
#include "natives/graphics/GraphicsNatives.h"
#include "natives/NativeGroupOps.h"
#include "natives/VectorOperands.h"

namespace mcb {

namespace {
using namespace numeric;

// The font operand's font, or null when its word holds none (another object:
// VM error 10 "Invalid TYPEID"). Asked only once the other operands passed.
CAppsFont* fontAt(VMHeap& heap, VMAddr word) { return word ? heap.objectAs<CAppsFont>(word) : nullptr; }

template <TInt32 (CAppsFont::*measure)() const>
void metric(VirtualMachine& vm) {
    GraphicsArgs a(vm, 1);
    CAppsFont* font = fontAt(a.heap(), a.handle(0));
    a.result(font ? (font->*measure)() : 0);
}

// Font, string and, with `ranged`, a range; `fits` adds a maximum width.
template <bool ranged, bool fits>
void textMeasure(VirtualMachine& vm) {
    GraphicsArgs a(vm, 2 + (ranged ? 2 : 0) + (fits ? 1 : 0));
    VMAddr fontWord = a.handle(0);
    const OString& s = a.string(1);
    ElementRange r = ranged ? vectorops::normalisedRange(a.word(2), a.word(3), s.length())
                            : ElementRange{0, s.length()};
    CAppsFont* font = fontAt(a.heap(), fontWord);
    if (!font) return a.result(0);
    a.result(fits ? font->charsThatFit(s, r.start, r.count, a.word(ranged ? 4 : 2))
                  : font->stringWidth(s, r.start, r.count));
}

constexpr natives::Function kFont[] = {
    {2, "height", metric<&CAppsFont::height>},
    {3, "ascent", metric<&CAppsFont::ascent>},
    {4, "string_width", textMeasure<false, false>},
    {5, "string_width_range", textMeasure<true, false>},
    {6, "chars_fit", textMeasure<false, true>},
    {7, "chars_fit_range", textMeasure<true, true>},
};

// A new reference cell holding `object`, or 0 when there is none.
VMAddr cellHolding(VirtualMachine& vm, VMAddr object) {
    if (object == 0) return 0;
    VMAddr cell = vm.heap().allocateWords(1, GC_CODE_REFERENCE_CELL);
    vm.memory().writeWord(cell, object);
    return cell;
}

VMAddr defaultFont(VirtualMachine& vm) { return cellHolding(vm, graphics::createNativeFont(vm.heap(), 0)); }

VMAddr fontFromFile(VirtualMachine& vm, const OString& path) {
    return cellHolding(vm, graphics::LoadBitmapFromFile(vm, path, ETrue));
}

VMAddr fontFromBytes(VirtualMachine& vm, const TUint8* bytes, TInt32 n) {
    return cellHolding(vm, graphics::decodeFont(vm.heap(), bytes, n));
}
}  // namespace

std::span<const natives::Function> fontFunctions() { return kFont; }

void graphics::installNatives() {
    natives::installFunctions(18, graphicsFunctions());
    natives::installFunctions(19, bitmapFunctions());
    natives::installFunctions(20, fontFunctions());
    SystemGraphics hooks;
    hooks.defaultFont = defaultFont;
    hooks.imageFromFile = fontFromFile;
    hooks.imageFromBytes = fontFromBytes;
    setSystemGraphics(hooks);
}

}  // namespace mcb
